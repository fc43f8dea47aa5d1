// The public face of the binding: one meter at one address, each method one
// library call: on a connection of its own, or on the meter's session
// (Meter.Connect), which keeps one connection and the meter's setup.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.Runtime.ExceptionServices;
using System.Text;
using System.Threading;

namespace Tandrel
{
    /// <summary>An em133 or em235 meter (a pm335 is read as an em235) reached over Modbus TCP.
    /// Every method opens its own connection, works, and closes it; methods may be called
    /// from several threads at once. Failures throw <see cref="TandrelException"/> with the
    /// library's message. The first method called reads the meter's identity (one more
    /// connection) and learns the model from it, or fails when it contradicts the model
    /// given, unless <c>forceModel</c> is true.
    /// <see cref="Connect"/> gives a Meter on a session instead: one connection and one read
    /// of the identity and setup for all its methods, closed by <see cref="Dispose"/>.</summary>
    public sealed class Meter : IDisposable
    {
        private readonly string options;
        private readonly ModelChoice model;
        private readonly SessionHandle session;  // null: every method connects on its own

        /// <summary>Describes a meter. Nothing is sent until a method is called.</summary>
        /// <param name="host">Host name or address of the meter or its gateway.</param>
        /// <param name="model">"em133", "em235" or "pm335", any case; null for the model the
        /// meter reports.</param>
        /// <param name="port">TCP port; the library's default is 502.</param>
        /// <param name="unitId">Modbus unit id 0-255; the library's default is 1.</param>
        /// <param name="timeout">Time-out of each request; the library's default is 30 s.</param>
        /// <param name="forceModel">Read the meter as <paramref name="model"/> without checking
        /// the model its identity reports.</param>
        public Meter(string host, string model = null, int? port = null, int? unitId = null,
                     TimeSpan? timeout = null, bool forceModel = false)
            : this(host, model, port, unitId, timeout, forceModel, new List<string>())
        {
        }

        private Meter(string host, string model, int? port, int? unitId, TimeSpan? timeout,
                      bool forceModel, List<string> sessionMembers)
        {
            if (host == null) throw new ArgumentNullException("host");
            Host = host;
            Port = port;
            UnitId = unitId;
            Timeout = timeout;
            options = OptionsText(port, unitId, timeout, sessionMembers);
            string where = host.Contains(":") ? "[" + host + "]" : host;
            where += ":" + (port ?? 502).ToString(CultureInfo.InvariantCulture);
            this.model = new ModelChoice(model, forceModel, where);
        }

        private Meter(Meter described, SessionHandle session)
        {
            Host = described.Host;
            Port = described.Port;
            UnitId = described.UnitId;
            Timeout = described.Timeout;
            options = described.options;
            model = described.model;
            this.session = session;
        }

        /// <summary>Opens a session on the meter: one connection, and its identity and setup
        /// read once, for every method of the Meter returned (each then sends only its own
        /// requests). Dispose it to close the connection. The model is checked or learnt at
        /// the open. A session serves one method at a time: a method called while another
        /// runs (another thread, an enumeration not finished) throws "Session is in use by
        /// another call".</summary>
        /// <param name="host">As for <see cref="Meter(string, string, int?, int?, TimeSpan?, bool)"/>.</param>
        /// <param name="model">As for the constructor; null lets the open learn it.</param>
        /// <param name="port">As for the constructor.</param>
        /// <param name="unitId">As for the constructor.</param>
        /// <param name="timeout">As for the constructor.</param>
        /// <param name="forceModel">As for the constructor.</param>
        /// <param name="setupMaxAge">How long the setup read is trusted before a method reads
        /// it again; the library's default is 5 minutes.</param>
        /// <param name="connection">Sessions to the same host and port that give the same
        /// number share one TCP connection (meters behind one gateway); 0, its own.</param>
        public static Meter Connect(string host, string model = null, int? port = null, int? unitId = null,
                                    TimeSpan? timeout = null, bool forceModel = false,
                                    TimeSpan? setupMaxAge = null, int connection = 0)
        {
            var members = new List<string>();
            if (setupMaxAge.HasValue) members.Add(Member("setup_max_age_ms", (long)setupMaxAge.Value.TotalMilliseconds));
            members.Add(Member("connection", connection));
            var described = new Meter(host, model, port, unitId, timeout, forceModel, members);
            byte[] error = Call.NewErrorBuffer();
            SessionHandle opened = Native.tandrel_open(host, model, described.options, error, error.Length);
            if (opened.IsInvalid) Call.Check(-1, error);
            var meter = new Meter(described, opened);
            try
            {
                string info = meter.DeviceInfoJson(), unused;
                if (!meter.ForceModel) meter.model.Settle(asModel => info, out unused);
            }
            catch
            {
                meter.Dispose();
                throw;
            }
            return meter;
        }

        /// <summary>Closes the session of a Meter from <see cref="Connect"/> (once; later
        /// methods throw). A plain Meter holds nothing to close.</summary>
        public void Dispose()
        {
            if (session != null) session.Dispose();
        }

        /// <summary>The host the meter is reached at.</summary>
        public string Host { get; private set; }

        /// <summary>The model the meter is read as: the one given, or the one its identity
        /// named once a method has read it (null before).</summary>
        public string Model
        {
            get { return model.Settled ?? model.Given; }
        }

        /// <summary>True when the meter is read as the model given without a look at its
        /// identity.</summary>
        public bool ForceModel
        {
            get { return model.Force; }
        }

        /// <summary>The TCP port, or null for the library's default (502).</summary>
        public int? Port { get; private set; }

        /// <summary>The Modbus unit id, or null for the library's default (1).</summary>
        public int? UnitId { get; private set; }

        /// <summary>The request time-out, or null for the library's default (30 s).</summary>
        public TimeSpan? Timeout { get; private set; }

        /// <summary>The library's interface version, "1.2.1": it names the interface, which
        /// only grows, not the release (the session calls came with release 1.3.0).</summary>
        public static string Version
        {
            get { return System.Runtime.InteropServices.Marshal.PtrToStringAnsi(Native.tandrel_version()); }
        }

        /// <summary>The library's diagnostic messages, process-wide. A handler runs on whichever
        /// thread logs, while the library holds its log lock: it must not call a Meter method,
        /// nor wait for a thread that does. Removing the last handler switches logging off.</summary>
        public static event Action<LogLevel, string> Log
        {
            add { LogBridge.Add(value); }
            remove { LogBridge.Remove(value); }
        }

        /// <summary>Identity and setup as the library's JSON document
        /// (<c>{"meter":…,"model_name":…,"serial":…,"setup":{…}}</c>).</summary>
        public string DeviceInfoJson()
        {
            if (session != null)
                return Call.Document((o, n, e, en) => Native.tandrel_session_read_device_info(session, o, n, e, en));
            string info;
            string settled = model.Settle(ReadDeviceInfo, out info);
            return info ?? ReadDeviceInfo(settled);
        }

        /// <summary>The directory of the meter's log files as the library's JSON document.</summary>
        public string LogsJson()
        {
            if (session != null)
                return Call.Document((o, n, e, en) => Native.tandrel_session_list_logs(session, o, n, e, en));
            string settled = Settled();
            return Call.Document((o, n, e, en) => Native.tandrel_list_logs(Host, settled, options, o, n, e, en));
        }

        /// <summary>The readable points of a model as the library's JSON document; needs no meter.</summary>
        public static string PointsJson(string model)
        {
            if (model == null) throw new ArgumentNullException("model");
            return Call.Document((o, n, e, en) => Native.tandrel_list_points(model, o, n, e, en));
        }

        /// <summary>Reads the points named, in order, duplicates included: ids ("4352",
        /// "0x1100") or names as the point list shows them ("V1", "Total kW"; any case).</summary>
        public Readings Read(params string[] points)
        {
            string list = PointListText(points);
            if (session != null)
                return Readings.Parse(Call.Document(
                    (o, n, e, en) => Native.tandrel_session_read_points(session, list, o, n, e, en)));
            string settled = Settled();
            return Readings.Parse(Call.Document(
                (o, n, e, en) => Native.tandrel_read_points(Host, settled, options, list, o, n, e, en)));
        }

        /// <summary>Reads the model's live set (55 values on an em133, 61 on an em235).</summary>
        public Readings Live()
        {
            if (session != null)
                return Readings.Parse(Call.Document((o, n, e, en) => Native.tandrel_session_read_live(session, o, n, e, en)));
            string settled = Settled();
            return Readings.Parse(Call.Document(
                (o, n, e, en) => Native.tandrel_read_live_ex(Host, settled, options, o, n, e, en)));
        }

        /// <summary>Data log <paramref name="fileId"/> (1-16): a header object, then one JSON
        /// object per record, each read from the meter as the enumeration asks for it.
        /// Leaving the enumeration early stops the transfer.</summary>
        public IEnumerable<string> Datalog(int fileId)
        {
            if (session != null)
                return new LineStream((cb, e) =>
                    Native.tandrel_session_read_datalog(session, fileId, cb, IntPtr.Zero, e, e.Length));
            string settled = Settled();  // here: the stream's call runs on a thread of its own
            return new LineStream((cb, e) =>
                Native.tandrel_read_datalog(Host, settled, fileId, options, cb, IntPtr.Zero, e, e.Length));
        }

        /// <summary>The event log (file 0 unless told otherwise): a header object, then one
        /// JSON object per event, streamed as <see cref="Datalog"/> is.</summary>
        public IEnumerable<string> Events(int fileId = 0)
        {
            if (session != null)
                return new LineStream((cb, e) =>
                    Native.tandrel_session_read_eventlog(session, fileId, cb, IntPtr.Zero, e, e.Length));
            string settled = Settled();
            return new LineStream((cb, e) =>
                Native.tandrel_read_eventlog(Host, settled, fileId, options, cb, IntPtr.Zero, e, e.Length));
        }

        /// <summary>Writes data log <paramref name="fileId"/> to a CSV file (created or
        /// truncated) and returns the number of records. <paramref name="progress"/> hears of
        /// every record; cancelling <paramref name="token"/> stops the export with
        /// <see cref="OperationCanceledException"/>, keeping the lines written.</summary>
        public int ExportDatalog(int fileId, string path, IProgress<ExportProgress> progress = null,
                                 CancellationToken token = default(CancellationToken))
        {
            if (path == null) throw new ArgumentNullException("path");
            if (session != null)
                return Export((cb, e) => Native.tandrel_session_export_datalog(
                    session, fileId, path, cb, IntPtr.Zero, e, e.Length), progress, token);
            string settled = Settled();
            return Export((cb, e) => Native.tandrel_export_datalog_ex(
                Host, settled, fileId, path, options, cb, IntPtr.Zero, e, e.Length), progress, token);
        }

        /// <summary>Writes the event log (<paramref name="fileId"/> 0 on these meters) to a CSV
        /// file, as <see cref="ExportDatalog"/> does.</summary>
        public int ExportEvents(int fileId, string path, IProgress<ExportProgress> progress = null,
                                CancellationToken token = default(CancellationToken))
        {
            if (path == null) throw new ArgumentNullException("path");
            if (session != null)
                return Export((cb, e) => Native.tandrel_session_export_eventlog(
                    session, fileId, path, cb, IntPtr.Zero, e, e.Length), progress, token);
            string settled = Settled();
            return Export((cb, e) => Native.tandrel_export_eventlog_ex(
                Host, settled, fileId, path, options, cb, IntPtr.Zero, e, e.Length), progress, token);
        }

        /// <summary>Exports an em133's data logs 1-3 and event log as four CSV files into the
        /// existing folder <paramref name="outDir"/>, after setting the meter's clock from this
        /// computer's local time when <paramref name="setClock"/> is true. Always port 502,
        /// unit 1, 30 s time-out. Returns the total number of records.</summary>
        /// <param name="host">The meter's host.</param>
        /// <param name="outDir">An existing folder.</param>
        /// <param name="setClock">Set the meter's clock first.</param>
        /// <param name="clockParam">Held in register 2575 while the clock is set; 0 or less
        /// writes the library's default (1).</param>
        public static int ExportEm133All(string host, string outDir, bool setClock = false, int clockParam = 0)
        {
            if (host == null) throw new ArgumentNullException("host");
            if (outDir == null) throw new ArgumentNullException("outDir");
            byte[] error = Call.NewErrorBuffer();
            return Call.Check(Native.tandrel_export_em133_all(host, setClock ? 1 : 0, clockParam, outDir,
                                                              error, error.Length), error);
        }

        /// <summary>Writes an em235's 32-bit diagnostics word, its bits labelled, to a CSV
        /// file. Always port 502. Returns the number of bits (26).</summary>
        /// <param name="host">The meter's host.</param>
        /// <param name="registerNo">Register number of the word, counted from 1.</param>
        /// <param name="csvPath">The file to write.</param>
        /// <param name="unitId">Modbus unit id.</param>
        /// <param name="count">Registers to read, 2 or more.</param>
        /// <param name="wordOrder">"HI_FIRST" takes the second word as the high half; any
        /// other text the first.</param>
        public static int ExportEm235Diagnostics(string host, int registerNo, string csvPath, int unitId = 1,
                                                 int count = 2, string wordOrder = "HI_FIRST")
        {
            if (host == null) throw new ArgumentNullException("host");
            if (csvPath == null) throw new ArgumentNullException("csvPath");
            if (wordOrder == null) throw new ArgumentNullException("wordOrder");
            byte[] error = Call.NewErrorBuffer();
            return Call.Check(Native.tandrel_export_em235_diagnostics(host, unitId, registerNo, count, wordOrder,
                                                                      csvPath, error, error.Length), error);
        }

        /// <summary>"em235 at 192.0.2.10"; "meter at 192.0.2.10" while the model is unknown.</summary>
        public override string ToString()
        {
            return (Model ?? "meter") + " at " + Host + (Port.HasValue ? ":" + Port.Value.ToString(CultureInfo.InvariantCulture) : "");
        }

        private string ReadDeviceInfo(string asModel)
        {
            return Call.Document((o, n, e, en) => Native.tandrel_read_device_info(Host, asModel, options, o, n, e, en));
        }

        // The model for a call, read from the meter's identity by the first call.
        private string Settled()
        {
            string unused;
            return model.Settle(ReadDeviceInfo, out unused);
        }

        private delegate int ExportCall(Native.ProgressCallback callback, byte[] error);

        // The progress callback exists only when someone listens: a null one
        // lets the library skip the calls.
        private static int Export(ExportCall call, IProgress<ExportProgress> progress, CancellationToken token)
        {
            token.ThrowIfCancellationRequested();
            ExceptionDispatchInfo pending = null;
            Native.ProgressCallback callback = null;
            if (progress != null || token.CanBeCanceled)
            {
                callback = (done, total, user) =>
                {
                    try
                    {
                        if (progress != null) progress.Report(new ExportProgress(done, total));
                        return token.IsCancellationRequested ? 1 : 0;
                    }
                    catch (Exception e)
                    {
                        // Unwinding through the library is not allowed: stop it and rethrow after.
                        pending = ExceptionDispatchInfo.Capture(e);
                        return 1;
                    }
                };
            }
            byte[] error = Call.NewErrorBuffer();
            int status = call(callback, error);
            GC.KeepAlive(callback);
            return Call.Check(status, error, pending, token);
        }

        // The library's options text, holding only what the caller chose
        // (the session's keys come in `members`).
        private static string OptionsText(int? port, int? unitId, TimeSpan? timeout, List<string> members)
        {
            if (port.HasValue) members.Insert(0, Member("port", port.Value));
            if (unitId.HasValue) members.Add(Member("unit_id", unitId.Value));
            if (timeout.HasValue) members.Add(Member("timeout_ms", (long)timeout.Value.TotalMilliseconds));
            return "{" + string.Join(",", members) + "}";
        }

        private static string Member(string key, long value)
        {
            return "\"" + key + "\":" + value.ToString(CultureInfo.InvariantCulture);
        }

        // Every item quoted: the library takes a quoted id as an id and a quoted
        // name as a name, and a backslash escapes the next character.
        private static string PointListText(string[] points)
        {
            var text = new StringBuilder("[");
            foreach (string point in points ?? new string[0])
            {
                if (point == null) throw new ArgumentNullException("points", "A point is null.");
                if (text.Length > 1) text.Append(',');
                text.Append('"');
                foreach (char c in point)
                {
                    if (c == '"' || c == '\\') text.Append('\\');
                    text.Append(c);
                }
                text.Append('"');
            }
            return text.Append(']').ToString();
        }
    }
}
