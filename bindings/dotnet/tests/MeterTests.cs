// The binding against libtandrel.so and tandrel-sim on loopback: every method
// once with the simulator's deterministic values, and what the binding itself
// adds: the buffer retry, text encoding, exceptions, cancellation, streaming
// that stops when left, and the log delegate's lifetime.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Net;
using System.Net.Sockets;
using System.Text.RegularExpressions;
using System.Threading;
using Tandrel;

internal static class MeterTests
{
    // The calls without options always use port 502: each gets a loopback
    // address of its own, which no other test of the project uses.
    private const string Em133Address = "127.0.79.1";
    private const string DiagnosticsAddress = "127.0.79.2";

    internal static IEnumerable<Case> All(Setup s)
    {
        yield return new Case("log handler survives a collection; retry hidden; removal", () => LogHandler(s));
        yield return new Case("version", () => Check.Equal(s.Version, Meter.Version, "Meter.Version"));
        foreach (Case c in Documents(s)) yield return c;
        yield return new Case("PointsJson", PointListings);
        foreach (Case c in Reads(s)) yield return c;
        yield return new Case("Live", () => Live(s));
        foreach (Case c in Streams(s)) yield return c;
        yield return new Case("leaving a stream stops the transfer", () => EarlyDisposal(s));
        yield return new Case("an abandoned stream closes its connection", () => AbandonedStream(s));
        foreach (Case c in Exports(s)) yield return c;
        yield return new Case("8-bit text: non-ASCII path in, message out", () => NonAsciiText(s));
        yield return new Case("cancelled token", () => CancelledExport(s));
        yield return new Case("exception in a progress handler", () => ThrowingProgress(s));
        foreach (Case c in RefusedPort(s)) yield return c;
        foreach (Case c in Em133All(s)) yield return c;
        yield return new Case("port, unit id and time-out", () => Options(s));
        foreach (Case c in Diagnostics(s)) yield return c;
        yield return new Case("short forms with default options", () => ShortForms(s));
        yield return new Case("sample program", () => Sample(s));
    }

    private static void LogHandler(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            Meter meter = sim.Meter();
            var seen = new List<string>();
            Action<LogLevel, string> handler = (level, message) => { lock (seen) seen.Add(level + " " + message); };
            // Installed from a thread that ends, so that no stale slot of this
            // stack keeps a delegate the binding failed to hold (the collector
            // scans stacks conservatively).
            var install = new Thread(() => Meter.Log += handler);
            install.Start();
            install.Join();
            GC.Collect();
            GC.WaitForPendingFinalizers();
            GC.Collect();
            // Too small for any document: the call is retried once with the size asked for.
            Call.s_outputCapacity = 16;
            Check.Equal(s.Expected("device_info.json"), meter.DeviceInfoJson(), "DeviceInfoJson");
            Meter.Log -= handler;
            meter.DeviceInfoJson();
            string connected = "Debug Connected to 127.0.0.1:" + sim.Port;
            Check.Lines(new[] { connected, connected }, seen, "log");
        }
    }

    private static IEnumerable<Case> Documents(Setup s)
    {
        var table = new[]
        {
            new { Name = "DeviceInfoJson", File = "device_info.json", Run = (Func<Meter, string>)(m => m.DeviceInfoJson()) },
            new { Name = "LogsJson", File = "logs.json", Run = (Func<Meter, string>)(m => m.LogsJson()) },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case(r.Name, () =>
            {
                using (var sim = new Sim(s, "em235.json")) Check.Equal(s.Expected(r.File), r.Run(sim.Meter()), r.Name);
            });
        }
    }

    // Counts from include/tandrel.h; the listings are larger than the first buffer.
    private static void PointListings()
    {
        var table = new[] { new { Model = "em133", Points = 199 }, new { Model = "EM235", Points = 205 } };
        foreach (var r in table)
        {
            Check.Equal(r.Points, Regex.Matches(Meter.PointsJson(r.Model), "\"pid\":").Count, r.Model + " points");
        }
    }

    // Names are quoted for the library, so quotes and backslashes in them must be escaped.
    private static IEnumerable<Case> Reads(Setup s)
    {
        var table = new[]
        {
            new { Points = new[] { "V1", "total kw", "0x1502", "4352" }, Error = (string)null,
                  Expected = "4352 V1 230 V|5120 Total kW 26.345 kW|5378 Frequency 50 Hz|4352 V1 230 V" },
            new { Points = new[] { "Bad\"Name" }, Error = "Unknown point 'Bad\"Name'", Expected = "" },
            new { Points = new[] { "back\\slash" }, Error = "Unknown point 'back\\slash'", Expected = "" },
            new { Points = new string[0], Error = "points: at least one point is required", Expected = "" },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case("Read [" + string.Join(", ", r.Points) + "]", () =>
            {
                using (var sim = new Sim(s, "em235.json"))
                {
                    Meter meter = sim.Meter();
                    if (r.Error != null)
                    {
                        Check.Throws<TandrelException>(() => meter.Read(r.Points), r.Error);
                        return;
                    }
                    Readings readings = meter.Read(r.Points);
                    Check.Equal(r.Expected, Describe(readings), "readings");
                    Check.Equal("em235 127.0.0.1", readings.Meter + " " + readings.Host, "meter and host");
                    // Far off when the UTC text is read as local time (the test runs in UTC+5:30).
                    Check.Equal(DateTimeKind.Utc, readings.Timestamp.Kind, "timestamp kind");
                    double minutes = Math.Abs((DateTime.UtcNow - readings.Timestamp).TotalMinutes);
                    Check.True(minutes < 10, "timestamp " + readings.Timestamp.ToString("o") + " is not now");
                }
            });
        }
    }

    private static string Describe(IEnumerable<Reading> readings)
    {
        return string.Join("|", readings.Select(r => string.Format(System.Globalization.CultureInfo.InvariantCulture,
            "{0} {1} {2} {3}", r.Pid, r.Name, r.Value, r.Unit)));
    }

    private static void Live(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            Readings live = sim.Meter().Live();
            Check.Equal(61, live.Count, "live readings of an em235");
            Check.Equal("4352 V1 230 V|4353 V2 231.3 V|4354 V3 231.4 V", Describe(live.Take(3)), "first readings");
        }
    }

    private static IEnumerable<Case> Streams(Setup s)
    {
        var table = new[]
        {
            new { Name = "Datalog(1)", File = "datalog1.jsonl", Error = (string)null, Run = (Func<Meter, IEnumerable<string>>)(m => m.Datalog(1)) },
            new { Name = "Events()", File = "events.jsonl", Error = (string)null, Run = (Func<Meter, IEnumerable<string>>)(m => m.Events()) },
            new { Name = "Datalog(9)", File = (string)null, Error = "Modbus exception 2", Run = (Func<Meter, IEnumerable<string>>)(m => m.Datalog(9)) },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case(r.Name, () =>
            {
                using (var sim = new Sim(s, "em235.json"))
                {
                    IEnumerable<string> stream = r.Run(sim.Meter());
                    if (r.Error != null)
                    {
                        Check.Throws<TandrelException>(() => stream.ToList(), r.Error);
                        return;
                    }
                    var expected = s.Expected(r.File).Split('\n');
                    Check.Lines(expected, stream.ToList(), r.Name);
                    // Each enumeration is a call of its own.
                    Check.Lines(expected, stream.ToList(), r.Name + " again");
                }
            });
        }
    }

    // Data log 2 sends one record per request: a stream that went on after
    // being left, or read ahead, shows up as requests on its connection.
    private static void EarlyDisposal(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            Meter meter = sim.Meter();
            int held;
            using (IEnumerator<string> records = meter.Datalog(2).GetEnumerator())
            {
                for (int i = 0; i < 4; ++i) Check.True(records.MoveNext(), "line " + (i + 1));
                Check.True(records.Current.StartsWith("{\"type\":\"record\",\"no\":3,", StringComparison.Ordinal),
                           "third record: " + records.Current);
                meter.Read("V1");
                sim.AwaitConnection(2);
                held = sim.RequestsOn(1);
            }
            meter.Read("V1");
            sim.AwaitConnection(3);
            Check.True(held < 300, "the stream read ahead: " + held + " requests for 3 records");
            Check.Equal(held, sim.RequestsOn(1), "requests of the stream once left");
        }
    }

    // An enumerator dropped without Dispose: its finalizer stops the call,
    // which closes the connection.
    private static void AbandonedStream(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            // Only the box holds the enumerator, and this thread never loads it.
            var box = new object[1];
            var start = new Thread(() =>
            {
                IEnumerator<string> records = sim.Meter().Datalog(2).GetEnumerator();
                records.MoveNext();
                box[0] = records;
            });
            start.Start();
            start.Join();
            Check.Equal(1, sim.OpenClientConnections(), "connections of the held stream");
            box[0] = null;
            Await.Until(() =>
            {
                GC.Collect();
                GC.WaitForPendingFinalizers();
                return sim.OpenClientConnections() == 0;
            }, "the abandoned stream's connection to close");
        }
    }

    private sealed class Recorder : IProgress<ExportProgress>
    {
        internal readonly List<string> Seen = new List<string>();
        internal Action<ExportProgress> Also = p => { };

        public void Report(ExportProgress value)
        {
            Seen.Add(value.ToString());
            Also(value);
        }
    }

    private static IEnumerable<Case> Exports(Setup s)
    {
        var table = new[]
        {
            new { Name = "ExportDatalog(1)", File = "datalog1.csv", Records = 7,
                  Run = (Func<Meter, string, IProgress<ExportProgress>, int>)((m, p, r) => m.ExportDatalog(1, p, r)) },
            new { Name = "ExportEvents(0)", File = "events.csv", Records = 3,
                  Run = (Func<Meter, string, IProgress<ExportProgress>, int>)((m, p, r) => m.ExportEvents(0, p, r)) },
            new { Name = "ExportDatalog(3), no total announced", File = "datalog3.csv", Records = 3,
                  Run = (Func<Meter, string, IProgress<ExportProgress>, int>)((m, p, r) => m.ExportDatalog(3, p, r)) },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case(r.Name, () =>
            {
                using (var sim = new Sim(s, "em235.json"))
                {
                    string path = Path.Combine(s.Temp, r.File);
                    var progress = new Recorder();
                    Check.Equal(r.Records, r.Run(sim.Meter(), path, progress), "records");
                    Check.Equal(s.Expected(r.File), File.ReadAllText(path).TrimEnd('\n'), "CSV");
                    string total = r.File == "datalog3.csv" ? "" : "/" + r.Records;
                    var expected = Enumerable.Range(1, r.Records).Select(i => i + total).ToList();
                    Check.Lines(expected, progress.Seen, "progress");
                }
            });
        }
    }

    private static void NonAsciiText(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            Meter meter = sim.Meter();
            string path = Path.Combine(s.Temp, "données µ.csv");
            Check.Equal(7, meter.ExportDatalog(1, path), "records");
            Check.True(File.Exists(path), "no file named " + path);
            string missing = Path.Combine(s.Temp, "répertoire", "é.csv");
            Check.Throws<TandrelException>(() => meter.ExportDatalog(1, missing), "Cannot open CSV: " + missing);
        }
    }

    // Cancelled from the progress handler at record 3: the export stops there
    // and the file keeps the title line and three records.
    private static void CancelledExport(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        using (var cancel = new CancellationTokenSource())
        {
            string path = Path.Combine(s.Temp, "cancelled.csv");
            var progress = new Recorder();
            progress.Also = p => { if (p.Done == 3) cancel.Cancel(); };
            var e = Check.Throws<OperationCanceledException>(
                () => sim.Meter().ExportDatalog(1, path, progress, cancel.Token), "Cancelled by caller");
            Check.Equal(cancel.Token, e.CancellationToken, "the exception's token");
            Check.Equal(4, File.ReadAllLines(path).Length, "lines kept");
        }
    }

    private static void ThrowingProgress(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            var progress = new Recorder();
            progress.Also = p => { if (p.Done == 2) throw new InvalidOperationException("handler failed"); };
            Check.Throws<InvalidOperationException>(
                () => sim.Meter().ExportEvents(0, Path.Combine(s.Temp, "thrown.csv"), progress), "handler failed");
            Check.Equal(2, progress.Seen.Count, "progress reports");
        }
    }

    // Every method that talks to the meter turns the library's -1 into a TandrelException.
    private static IEnumerable<Case> RefusedPort(Setup s)
    {
        var listener = new TcpListener(IPAddress.Loopback, 0);
        listener.Start();
        int port = ((IPEndPoint)listener.LocalEndpoint).Port;
        listener.Stop();
        var meter = new Meter("127.0.0.1", "em235", port);
        string message = "Cannot connect to 127.0.0.1:" + port;
        string csv = Path.Combine(s.Temp, "refused.csv");
        var calls = new Dictionary<string, Action>
        {
            { "DeviceInfoJson", () => meter.DeviceInfoJson() },
            { "LogsJson", () => meter.LogsJson() },
            { "Read", () => meter.Read("V1") },
            { "Live", () => meter.Live() },
            { "Datalog", () => meter.Datalog(1).ToList() },
            { "Events", () => meter.Events().ToList() },
            { "ExportDatalog", () => meter.ExportDatalog(1, csv) },
            { "ExportEvents", () => meter.ExportEvents(0, csv) },
        };
        foreach (var call in calls)
        {
            var c = call;
            yield return new Case(c.Key + " on a refused port", () => Check.Throws<TandrelException>(c.Value, message));
        }
    }

    // The clock parameter is the first write of a clock setting.
    private static IEnumerable<Case> Em133All(Setup s)
    {
        var table = new[]
        {
            new { SetClock = false, Param = 5, Writes = 0 },
            new { SetClock = true, Param = 5, Writes = 1 },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case("ExportEm133All setClock " + r.SetClock, () =>
            {
                using (var sim = new Sim(s, "em133.json", Em133Address, 502))
                {
                    string dir = Path.Combine(s.Temp, "em133-" + r.SetClock);
                    Directory.CreateDirectory(dir);
                    Check.Equal(7, Meter.ExportEm133All(Em133Address, dir, r.SetClock, r.Param), "records of logs 1-3 and the event log");
                    Check.Equal(4, Directory.GetFiles(dir, "EM133_*.csv").Length, "files");
                    Check.Equal(r.Writes, sim.Matching(" fc 6 addr 0x0A0F count 1 first value 5 "), "clock parameter writes");
                }
            });
        }
    }

    // A first answer slower than the time-out; the trace shows the unit id sent.
    private static void Options(Setup s)
    {
        using (var sim = new Sim(s, "slow_first_answer.json"))
        {
            var meter = new Meter("127.0.0.1", "em235", sim.Port, 7, TimeSpan.FromMilliseconds(300));
            Check.Throws<TandrelException>(() => meter.DeviceInfoJson(), "socket recv failed");
            sim.AwaitConnection(1);
            Check.Equal(1, sim.Matching("conn 1 #1 tid 1 unit 7 "), "request with unit 7");
        }
    }

    // The scenario keeps the word on unit 3: unit and register swapped would fail.
    private static IEnumerable<Case> Diagnostics(Setup s)
    {
        var table = new[]
        {
            new { Order = "HI_FIRST", Line = "0x1,0x10,0x100001,HI_FIRST" },
            new { Order = "LO_FIRST", Line = "0x1,0x10,0x10010,LO_FIRST" },
        };
        foreach (var row in table)
        {
            var r = row;
            yield return new Case("ExportEm235Diagnostics " + r.Order, () =>
            {
                using (new Sim(s, "em235_diagnostics.json", DiagnosticsAddress, 502))
                {
                    string path = Path.Combine(s.Temp, "diagnostics.csv");
                    Check.Equal(26, Meter.ExportEm235Diagnostics(DiagnosticsAddress, 2049, path, 3, 2, r.Order), "bits");
                    Check.Equal(r.Line, File.ReadAllLines(path)[1], "word line");
                }
            });
        }
    }

    // The three declarations the Meter does not call (it always passes options).
    private static void ShortForms(Setup s)
    {
        using (new Sim(s, "em133.json", Em133Address, 502))
        {
            byte[] output = new byte[16384], error = Call.NewErrorBuffer();
            string csv = Path.Combine(s.Temp, "short.csv");
            Check.Equal(55, Native.tandrel_read_live(Em133Address, "em133", output, output.Length, error, error.Length),
                        "tandrel_read_live: " + Call.Message(error));
            Check.Equal(4, Native.tandrel_export_datalog(Em133Address, "em133", 1, csv, error, error.Length),
                        "tandrel_export_datalog: " + Call.Message(error));
            Check.Equal(1, Native.tandrel_export_eventlog(Em133Address, "em133", 0, csv, error, error.Length),
                        "tandrel_export_eventlog: " + Call.Message(error));
        }
    }

    private static void Sample(Setup s)
    {
        using (var sim = new Sim(s, "em235.json"))
        {
            string csv = Path.Combine(s.Temp, "sample.csv");
            var info = new System.Diagnostics.ProcessStartInfo(s.Mono, string.Format(
                "\"{0}\" 127.0.0.1 {1} em235 1 \"{2}\"", s.Sample, sim.Port, csv));
            info.UseShellExecute = false;
            info.RedirectStandardOutput = true;
            info.RedirectStandardError = true;
            using (var run = System.Diagnostics.Process.Start(info))
            {
                var stderr = run.StandardError.ReadToEndAsync();
                string stdout = run.StandardOutput.ReadToEnd();
                run.WaitForExit();
                Check.Equal(0, run.ExitCode, "exit status; stderr: " + stderr.Result);
                foreach (string part in new[] { "\"serial\":23501178", "61 live values", "Wrote 7 records to " + csv })
                {
                    Check.True(stdout.Contains(part), "no \"" + part + "\" in:\n" + stdout);
                }
                Check.True(stderr.Result.Contains("data log 1: 7/7 records"), "no progress line in: " + stderr.Result);
            }
        }
    }
}
