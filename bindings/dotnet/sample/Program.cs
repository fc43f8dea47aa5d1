// A console host of the binding: reads a meter's identity and live values,
// then exports a data log to CSV with a progress line. Ctrl-C stops the
// export through the cancellation token; the CSV keeps the records written.
//
//   mono TandrelSample.exe HOST [PORT [MODEL [FILE [CSV]]]]
//   TandrelSample.exe 192.0.2.10 502 em235 1 datalog1.csv      (Windows, tandrel.dll beside it)
using System;
using System.Diagnostics;
using System.Globalization;
using System.Threading;
using Tandrel;

internal static class Program
{
    private static int Main(string[] args)
    {
        int port = 502, file = 1;
        if (args.Length < 1 || args.Length > 5 ||
            (args.Length > 1 && !int.TryParse(args[1], NumberStyles.None, CultureInfo.InvariantCulture, out port)) ||
            (args.Length > 3 && !int.TryParse(args[3], NumberStyles.None, CultureInfo.InvariantCulture, out file)))
        {
            Console.Error.WriteLine("usage: TandrelSample HOST [PORT [MODEL [FILE [CSV]]]]");
            return 2;
        }
        string host = args[0];
        string model = args.Length > 2 ? args[2] : "em235";
        string csv = args.Length > 4 ? args[4] : "datalog" + file + ".csv";

        var meter = new Meter(host, model, port, timeout: TimeSpan.FromSeconds(5));
        Meter.Log += (level, message) => { if (level == LogLevel.Warning) Console.Error.WriteLine("[{0}] {1}", level, message); };
        using (var cancel = new CancellationTokenSource())
        {
            Console.CancelKeyPress += (sender, e) => { e.Cancel = true; cancel.Cancel(); };
            try
            {
                Console.WriteLine("tandrel {0}, {1}", Meter.Version, meter);
                Console.WriteLine(meter.DeviceInfoJson());

                Readings live = meter.Live();
                Console.WriteLine("{0} live values at {1:yyyy-MM-dd HH:mm:ss} UTC", live.Count, live.Timestamp);
                foreach (Reading r in live)
                {
                    Console.WriteLine("  {0,-24} {1,14} {2}", r.Name, r.Value.ToString(CultureInfo.InvariantCulture), r.Unit);
                }

                int records = meter.ExportDatalog(file, csv, new ProgressLine("data log " + file), cancel.Token);
                Console.Error.WriteLine();
                Console.WriteLine("Wrote {0} records to {1}", records, csv);
                return 0;
            }
            catch (TandrelException e)
            {
                Console.Error.WriteLine();
                Console.Error.WriteLine("tandrel: " + e.Message);
                return 1;
            }
            catch (OperationCanceledException)
            {
                Console.Error.WriteLine();
                Console.Error.WriteLine("Cancelled; {0} keeps the records written so far", csv);
                return 130;
            }
        }
    }
}

// One line on stderr, redrawn at most ten times a second and at the end.
internal sealed class ProgressLine : IProgress<ExportProgress>
{
    private readonly string label;
    private readonly Stopwatch sinceDrawn = Stopwatch.StartNew();

    public ProgressLine(string label)
    {
        this.label = label;
    }

    public void Report(ExportProgress value)
    {
        bool last = value.Total.HasValue && value.Done >= value.Total.Value;
        if (!last && sinceDrawn.ElapsedMilliseconds < 100) return;
        sinceDrawn.Restart();
        Console.Error.Write("\r{0}: {1} records", label, value);
    }
}
