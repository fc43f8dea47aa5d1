// The binding against libtandrel.so and tandrel-sim on loopback: each method
// once with the simulator's deterministic values, and what the binding itself
// adds: the buffer retry, 8-bit text, exceptions, cancellation, streams that
// stop when left, and the log delegate's lifetime. Every public static method
// of Tests is a case; the program prints one line per case and
// "N passed, M failed", and exits with 1 when any failed.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Text.RegularExpressions;
using System.Threading;
using Tandrel;

public static partial class Tests
{
    internal static readonly Dictionary<string, string> Args = new Dictionary<string, string>();
    private static readonly string Temp = Path.Combine(Path.GetTempPath(), "tandrel-dotnet-" + Guid.NewGuid().ToString("N"));
    // The em235 that most cases read; a case that counts connections starts its own.
    private static Sim sim;

    private static int Main(string[] args)
    {
        // A decimal comma shows any number formatted or parsed by the current culture.
        CultureInfo.DefaultThreadCurrentCulture = Thread.CurrentThread.CurrentCulture = new CultureInfo("de-DE");
        for (int i = 0; i + 1 < args.Length; i += 2) Args[args[i]] = args[i + 1];
        Directory.CreateDirectory(Temp);
        sim = new Sim("em235.json");
        MethodInfo[] tests = typeof(Tests).GetMethods(BindingFlags.Public | BindingFlags.Static);
        int failed = 0;
        foreach (MethodInfo test in tests)
        {
            string result = "ok    " + test.Name;
            try { test.Invoke(null, null); }
            catch (TargetInvocationException e) { result = "FAIL  " + test.Name + ": " + e.InnerException.Message; ++failed; }
            Console.WriteLine(result);
        }
        sim.Dispose();
        Directory.Delete(Temp, true);
        Console.WriteLine("{0} passed, {1} failed", tests.Length - failed, failed);
        return failed == 0 ? 0 : 1;
    }

    private static void Equal<T>(T expected, T actual, string what)
    {
        if (!EqualityComparer<T>.Default.Equals(expected, actual)) throw new Exception(what + ": expected <" + expected + ">, got <" + actual + ">");
    }

    private static T Throws<T>(Action action, string message) where T : Exception
    {
        try { action(); }
        catch (T e) { Equal(message, e.Message, typeof(T).Name + " message"); return e; }
        throw new Exception("expected " + typeof(T).Name + ", nothing was thrown");
    }

    private static string Expected(string name) => File.ReadAllText(Path.Combine(Args["--data"], name));

    private static void Lines(string file, IEnumerable<string> actual) => Equal(Expected(file), string.Concat(actual.Select(line => line + "\n")), file);

    private static int Count(string text, string part) => text.Split(new[] { part }, StringSplitOptions.None).Length - 1;

    private static string Describe(IEnumerable<Reading> readings) =>
        string.Join("|", readings.Select(r => string.Format(CultureInfo.InvariantCulture, "{0} {1} {2} {3}", r.Pid, r.Name, r.Value, r.Unit)));

    private sealed class Recorder : IProgress<ExportProgress>
    {
        internal readonly List<string> Seen = new List<string>();
        internal Action<ExportProgress> Also = p => { };
        public void Report(ExportProgress value) { Seen.Add(value.ToString()); Also(value); }
    }

    // Installed from a thread that ends, so that no stale slot of this stack
    // keeps a delegate the binding failed to hold (the collector scans stacks
    // conservatively). A 16-byte buffer fits no document: the call is retried
    // once with the size asked for (two connections), and the handler hears
    // nothing of the retry's message.
    public static void LogHandlerSurvivesACollectionAndMissesTheRetry()
    {
        var seen = new List<string>();
        Action<LogLevel, string> handler = (level, message) => { lock (seen) seen.Add(level + " " + message); };
        var install = new Thread(() => Meter.Log += handler);
        install.Start();
        install.Join();
        GC.Collect();
        GC.WaitForPendingFinalizers();
        GC.Collect();
        Call.s_outputCapacity = 16;
        Equal(Expected("device_info.json").TrimEnd('\n'), sim.Meter().DeviceInfoJson(), "DeviceInfoJson");
        Meter.Log -= handler;
        sim.Meter().DeviceInfoJson();
        string connected = "Debug Connected to 127.0.0.1:" + sim.Port;
        Equal(connected + "|" + connected, string.Join("|", seen), "log of the retried call, none after the removal");
    }

    // Names are quoted for the library, so quotes and backslashes in them must
    // be escaped. A timestamp read as local time is far off (the test runs in
    // UTC+5:30). Each enumeration of a stream is a call of its own. Data log 3
    // announces no total; the CSV path holds 8-bit text both ways.
    public static void EveryMethodOnce()
    {
        Equal(Args["--version"], Meter.Version, "Version");
        Equal("199 205", Count(Meter.PointsJson("em133"), "\"pid\":") + " " + Count(Meter.PointsJson("em235"), "\"pid\":"), "points");
        Meter meter = sim.Meter();
        Equal(Expected("logs.json").TrimEnd('\n'), meter.LogsJson(), "LogsJson");
        Readings readings = meter.Read("V1", "total kw", "0x1502", "4352");
        Equal("4352 V1 230 V|5120 Total kW 26.345 kW|5378 Frequency 50 Hz|4352 V1 230 V", Describe(readings), "Read");
        Equal("em235 127.0.0.1 Utc True", string.Join(" ", readings.Meter, readings.Host, readings.Timestamp.Kind,
            Math.Abs((DateTime.UtcNow - readings.Timestamp).TotalMinutes) < 10), "Read " + readings.Timestamp.ToString("o"));
        Throws<TandrelException>(() => meter.Read("Bad\"Name"), "Unknown point 'Bad\"Name'");
        Throws<TandrelException>(() => meter.Read("back\\slash"), "Unknown point 'back\\slash'");
        Readings live = meter.Live();
        Equal("61 4352 V1 230 V|4353 V2 231.3 V", live.Count + " " + Describe(live.Take(2)), "Live");
        IEnumerable<string> datalog = meter.Datalog(1);
        Lines("datalog1.jsonl", datalog);
        Lines("datalog1.jsonl", datalog);
        Lines("events.jsonl", meter.Events());
        // 300 records cross between the threads in many batches: none lost, repeated or moved.
        Equal(string.Join(",", Enumerable.Range(1, 300)), string.Join(",", meter.Datalog(2).Skip(1)
            .Select(l => Regex.Match(l, "^\\{\"type\":\"record\",\"no\":(\\d+),").Groups[1].Value)), "Datalog(2) record numbers");
        Throws<TandrelException>(() => meter.Datalog(9).ToList(), "Modbus exception 2");
        string path = Path.Combine(Temp, "données µ.csv");
        var exports = new[]
        {
            new { File = "datalog1.csv", Progress = "1/7 2/7 3/7 4/7 5/7 6/7 7/7", Run = (Func<Recorder, int>)(p => meter.ExportDatalog(1, path, p)) },
            new { File = "events.csv", Progress = "1/3 2/3 3/3", Run = (Func<Recorder, int>)(p => meter.ExportEvents(0, path, p)) },
            new { File = "datalog3.csv", Progress = "1 2 3", Run = (Func<Recorder, int>)(p => meter.ExportDatalog(3, path, p)) },
        };
        foreach (var r in exports)
        {
            var progress = new Recorder();
            Equal(r.Progress.Split(' ').Length, r.Run(progress), r.File + " records");
            Equal(r.Progress, string.Join(" ", progress.Seen), r.File + " progress");
            Equal(Expected(r.File), File.ReadAllText(path), r.File);
        }
        string missing = Path.Combine(Temp, "répertoire", "é.csv");
        Throws<TandrelException>(() => meter.ExportDatalog(1, missing), "Cannot open CSV: " + missing);
    }

    // Cancelled from the progress handler at record 3: the export stops there
    // and the file keeps the title line and three records. An exception in the
    // handler stops the export too, and comes out unchanged.
    public static void ProgressHandlersStopTheExport()
    {
        using (var cancel = new CancellationTokenSource())
        {
            string path = Path.Combine(Temp, "cancelled.csv");
            var progress = new Recorder { Also = p => { if (p.Done == 3) cancel.Cancel(); } };
            var e = Throws<OperationCanceledException>(() => sim.Meter().ExportDatalog(1, path, progress, cancel.Token), "Cancelled by caller");
            Equal(cancel.Token, e.CancellationToken, "the exception's token");
            Equal(4, File.ReadAllLines(path).Length, "lines kept");
            progress = new Recorder { Also = p => { if (p.Done == 2) throw new InvalidOperationException("handler failed"); } };
            Throws<InvalidOperationException>(() => sim.Meter().ExportEvents(0, path, progress), "handler failed");
            Equal(2, progress.Seen.Count, "progress reports");
        }
    }

    // Data log 2 sends one record per block: a stream that went on after
    // being left, or read far ahead, shows up as requests on its connection. An
    // enumerator dropped without Dispose is stopped by its finalizer, which
    // closes the connection; only the box holds it, and this thread never loads it.
    public static void LeavingOrDroppingAStreamStopsTheTransfer()
    {
        using (var sim = new Sim("em235.json"))
        {
            Meter meter = sim.Meter();
            using (IEnumerator<string> records = meter.Datalog(2).GetEnumerator())
            {
                for (int i = 0; i < 4; ++i) records.MoveNext();
                Equal(true, records.Current.StartsWith("{\"type\":\"record\",\"no\":3,", StringComparison.Ordinal), records.Current);
                meter.Read("V1");  // time for the stream to run ahead as far as it will
                sim.AwaitConnection(2);
            }
            meter.Read("V1");
            sim.AwaitConnection(3);
            int held = sim.RequestsOn(1);
            meter.Read("V1");
            sim.AwaitConnection(4);
            Equal(true, held < 300, "the stream read ahead: " + held + " requests for 3 records");
            Equal(held, sim.RequestsOn(1), "requests of the stream once left");
            var box = new object[1];
            var start = new Thread(() => { box[0] = meter.Datalog(2).GetEnumerator(); ((IEnumerator<string>)box[0]).MoveNext(); });
            start.Start();
            start.Join();
            Equal(1, sim.OpenClientConnections(), "connections of the held stream");
            box[0] = null;
            Sim.Await(() =>
            {
                GC.Collect();
                GC.WaitForPendingFinalizers();
                return sim.OpenClientConnections() == 0;
            }, "the abandoned stream's connection to close");
        }
    }

    // Milliseconds to the library: 99 ms is below its least, 150 ms a time-out
    // it takes. The trace shows the unit id sent.
    public static void PortUnitIdAndTimeOutReachTheLibrary()
    {
        Throws<TandrelException>(() => new Meter("127.0.0.1", "em235", sim.Port, 7, TimeSpan.FromMilliseconds(99)).DeviceInfoJson(),
            "options.timeout_ms must be 100-3600000");
        int before = sim.Matching(" unit 7 fc ");
        new Meter("127.0.0.1", "em235", sim.Port, 7, TimeSpan.FromMilliseconds(150)).DeviceInfoJson();
        sim.Sync();
        Equal(true, sim.Matching(" unit 7 fc ") > before, "requests with unit 7");
    }

    // The calls without options always use port 502, each on a loopback
    // address of its own that no other test of the project uses. The clock
    // parameter is the first write of a clock setting; the diagnostics
    // scenario keeps the word on unit 3, so unit and register swapped would
    // fail. The three declarations the Meter does not call (it always passes
    // options) are called directly. Nothing listens on 127.0.79.3.
    public static void PortFiveHundredTwoCalls()
    {
        using (var sim = new Sim("em133.json", "127.0.79.1", 502))
        using (new Sim("em235_diagnostics.json", "127.0.79.2", 502))
        {
            Equal(7, Meter.ExportEm133All("127.0.79.1", Temp, true, 5), "records of logs 1-3 and the event log");
            Equal(4, Directory.GetFiles(Temp, "EM133_*.csv").Length, "files");
            sim.Sync();
            Equal(1, sim.Matching(" fc 6 addr 0x0A0F count 1 first value 5 "), "clock parameter writes");
            string path = Path.Combine(Temp, "diagnostics.csv");
            Equal(26, Meter.ExportEm235Diagnostics("127.0.79.2", 2049, path, 3, 2, "LO_FIRST"), "bits");
            Equal("0x1,0x10,0x10010,LO_FIRST", File.ReadAllLines(path)[1], "word line");
            byte[] output = new byte[16384], error = Call.NewErrorBuffer();
            Equal(55, Native.tandrel_read_live("127.0.79.1", "em133", output, output.Length, error, error.Length), "tandrel_read_live");
            Equal(4, Native.tandrel_export_datalog("127.0.79.1", "em133", 1, path, error, error.Length), "tandrel_export_datalog");
            Equal(1, Native.tandrel_export_eventlog("127.0.79.1", "em133", 0, path, error, error.Length), "tandrel_export_eventlog");
        }
        Throws<TandrelException>(() => Meter.ExportEm133All("127.0.79.3", Temp), "Cannot connect to 127.0.79.3:502");
        Throws<TandrelException>(() => Meter.ExportEm235Diagnostics("127.0.79.3", 2049, "x.csv"), "Cannot connect to 127.0.79.3:502");
    }

    // An em133 read as the em235 it is not gives V1 2300 instead of 230. With no
    // model the identity names it, read once for the Meter's life; a
    // contradicting model fails naming both, unless forced.
    public static void TheModelComesFromTheMetersIdentity()
    {
        using (var em133 = new Sim("em133.json"))
        {
            var meter = new Meter(em133.Address, port: em133.Port);
            Equal("230 em133 em133", string.Join(" ", meter.Read("V1")[0].Value, meter.Live().Meter, meter.Model), "learned");
            Equal(1, em133.Matching(" addr 0xB400 "), "identity reads");
            string where = em133.Address + ":" + em133.Port.ToString(CultureInfo.InvariantCulture);
            Throws<TandrelException>(() => new Meter(em133.Address, "em235", em133.Port).Read("V1"),
                "the meter at " + where + " reports model id 133 (em133), not em235");
            Equal(2300.0, new Meter(em133.Address, "em235", em133.Port, forceModel: true).Read("V1")[0].Value, "forced");
        }
    }

    public static void TheSampleProgramReadsAndExports()
    {
        string csv = Path.Combine(Temp, "sample.csv");
        var info = new System.Diagnostics.ProcessStartInfo(Args["--mono"], string.Format(
            "\"{0}\" 127.0.0.1 {1} em235 1 \"{2}\"", Args["--sample"], sim.Port, csv));
        info.UseShellExecute = false;
        info.RedirectStandardOutput = info.RedirectStandardError = true;
        var run = System.Diagnostics.Process.Start(info);
        var stderr = run.StandardError.ReadToEndAsync();
        string stdout = run.StandardOutput.ReadToEnd();
        run.WaitForExit();
        Equal("0 1 1 1 1", string.Join(" ", run.ExitCode, Count(stdout, "\"serial\":23501178"), Count(stdout, "61 live values"),
            Count(stdout, "Wrote 7 records to " + csv), Count(stderr.Result, "data log 1: 7/7 records")), stdout + stderr.Result);
    }
}
