// Lines per second through the .NET binding's log stream against the library
// alone, by records per block, to find where a streamed line's time goes.
//
// Starts tandrel-sim with two data logs of 50,000 records of 8 columns (the
// Python benchmark's scenario) for each number of records per block, and
// reads both logs, 100,000 records a pass, in five ways, each adding one cost
// to the one before:
//
//   C export        tandrel_export_datalog_ex to /dev/null, no callback
//   empty delegate  tandrel_read_datalog, a delegate that returns 0
//   decoded         the same, each line decoded to a string and kept
//   other thread    decoded lines handed one by one to a reader thread that
//                   asks for each (no line ahead: two thread switches a line)
//   Meter.Datalog   foreach over the binding's stream
//
// Every pass goes through all block sizes and ways in turn, so a change in the
// machine's load falls on all of them alike. Prints records per second of wall
// time and of this process's CPU time (the simulator is another process), best
// of the passes, as Markdown tables. Compiled by the build beside Tandrel.dll:
//
//   cmake --build build --target dotnet_stream_bench
//   LD_LIBRARY_PATH=build/src mono build/bindings/dotnet/dotnet_stream_bench.exe \
//     --sim build/tools/sim/tandrel-sim [--passes 5] [--per-block 10,25,50,99]
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;
using System.Threading;
using Tandrel;

internal static class DotnetStreamBench
{
    private const int RecordsPerLog = 50000;
    private static readonly int[] Files = { 1, 2 };
    private static readonly string[] Ways =
    {
        "C export to /dev/null, no callback",
        "`tandrel_read_datalog`, empty delegate",
        "the same, each line decoded to a string",
        "the same, each line handed to another thread that asks for it",
        "`foreach (string line in meter.Datalog(f))`",
    };

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    private delegate int OutputCallback(IntPtr text, IntPtr user);

    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    private delegate int ProgressCallback(int done, int total, IntPtr user);

    [DllImport("tandrel", CallingConvention = CallingConvention.Cdecl)]
    private static extern int tandrel_read_datalog(string host, string meter, int fileId, string options,
        OutputCallback cb, IntPtr user, byte[] error, int errorLength);

    [DllImport("tandrel", CallingConvention = CallingConvention.Cdecl)]
    private static extern int tandrel_export_datalog_ex(string host, string meter, int fileId, string csvPath,
        string options, ProgressCallback progress, IntPtr user, byte[] error, int errorLength);

    private static int Main(string[] args)
    {
        var opts = new Dictionary<string, string> { { "--passes", "5" }, { "--per-block", "10,25,50,99" } };
        for (int i = 0; i + 1 < args.Length; i += 2) opts[args[i]] = args[i + 1];
        if (!opts.ContainsKey("--sim"))
        {
            Console.Error.WriteLine("usage: dotnet_stream_bench.exe --sim PATH [--passes N] [--per-block 10,25,50,99]");
            return 2;
        }
        int passes = int.Parse(opts["--passes"], CultureInfo.InvariantCulture);
        int[] sizes = opts["--per-block"].Split(',').Select(s => int.Parse(s, CultureInfo.InvariantCulture)).ToArray();
        string started = DateTime.Now.ToString("yyyy-MM-dd HH:mm", CultureInfo.InvariantCulture);
        string loadBefore = LoadAverage();
        var best = new Dictionary<int, double[,]>();
        string folder = Path.Combine(Path.GetTempPath(), "tandrel-dotnet-bench-" + Process.GetCurrentProcess().Id);
        Directory.CreateDirectory(folder);
        var sims = new Dictionary<int, Tuple<Process, int>>();
        try
        {
            foreach (int n in sizes) sims[n] = StartSimulator(opts["--sim"], folder, n);
            foreach (int n in sizes) best[n] = new double[Ways.Length, 2];
            for (int pass = 0; pass < passes; ++pass)
                foreach (int n in sizes)
                    for (int way = 0; way < Ways.Length; ++way)
                        Keep(best[n], way, Timed(() => Run(way, sims[n].Item2)));
        }
        finally
        {
            foreach (var sim in sims.Values) { sim.Item1.Kill(); sim.Item1.WaitForExit(); }
            Directory.Delete(folder, true);
        }
        Console.WriteLine("Measured {0} on {1} (load average {2} at start, {3} at the end) with `{4}`: " +
            "{5:N0} records of 8 columns a pass, best of {6}.", started, Machine(), loadBefore, LoadAverage(),
            "dotnet_stream_bench.exe --passes " + passes + " --per-block " + opts["--per-block"],
            RecordsPerLog * Files.Length, passes);
        Table("Records per second, wall time:", sizes, best, 0);
        Table("Records per second of this process's CPU time (the simulator is another process):", sizes, best, 1);
        return 0;
    }

    private static void Keep(double[,] best, int way, double[] measured)
    {
        for (int c = 0; c < 2; ++c)
            if (best[way, c] == 0 || measured[c] < best[way, c]) best[way, c] = measured[c];
    }

    private static double[] Timed(Func<int> run)
    {
        TimeSpan cpu = Process.GetCurrentProcess().TotalProcessorTime;
        var wall = Stopwatch.StartNew();
        int records = run();
        double wallS = wall.Elapsed.TotalSeconds;
        double cpuS = (Process.GetCurrentProcess().TotalProcessorTime - cpu).TotalSeconds;
        if (records != RecordsPerLog * Files.Length) throw new Exception("read " + records + " records");
        return new[] { wallS, cpuS };
    }

    private static int Run(int way, int port)
    {
        string options = "{\"port\":" + port + "}";
        byte[] error = new byte[4096];
        int total = 0;
        foreach (int f in Files)
        {
            int status = way == 4 ? ViaMeter(port, f) : way == 3 ? ViaThread(options, f, error) : Direct(way, options, f, error);
            if (status < 0) throw new Exception("call failed: " + System.Text.Encoding.UTF8.GetString(error).TrimEnd('\0'));
            total += status;
        }
        return total;
    }

    private static int Direct(int way, string options, int file, byte[] error)
    {
        if (way == 0)
            return tandrel_export_datalog_ex("127.0.0.1", "em235", file, "/dev/null", options, null, IntPtr.Zero, error, error.Length);
        var kept = new List<string>();
        OutputCallback cb = way == 1 ? (OutputCallback)((t, u) => 0) : (t, u) => { kept.Add(Marshal.PtrToStringAnsi(t)); return 0; };
        int status = tandrel_read_datalog("127.0.0.1", "em235", file, options, cb, IntPtr.Zero, error, error.Length);
        GC.KeepAlive(cb);
        return status;
    }

    // One line at a time between two threads, as the binding's stream hands
    // them over: the call waits in the callback until the reader has taken the
    // line and asked for the next, so nothing is read ahead.
    private static int ViaThread(string options, int file, byte[] error)
    {
        var gate = new object();
        string line = null;
        bool wanted = false, finished = false;
        int status = 0;
        OutputCallback cb = (t, u) =>
        {
            string s = Marshal.PtrToStringAnsi(t);
            lock (gate)
            {
                while (!wanted) Monitor.Wait(gate);
                line = s;
                wanted = false;
                Monitor.PulseAll(gate);
                while (!wanted) Monitor.Wait(gate);
            }
            return 0;
        };
        var caller = new Thread(() =>
        {
            status = tandrel_read_datalog("127.0.0.1", "em235", file, options, cb, IntPtr.Zero, error, error.Length);
            lock (gate) { finished = true; Monitor.PulseAll(gate); }
        });
        caller.Start();
        for (;;)
        {
            lock (gate)
            {
                wanted = true;
                Monitor.PulseAll(gate);
                while (line == null && !finished) Monitor.Wait(gate);
                if (line == null) break;
                line = null;
            }
        }
        caller.Join();
        return status;
    }

    private static int ViaMeter(int port, int file)
    {
        int lines = 0;
        foreach (string line in new Meter("127.0.0.1", "em235", port, forceModel: true).Datalog(file))
            if (line.Length > 0) ++lines;
        return lines - 1;  // the header
    }

    private static Tuple<Process, int> StartSimulator(string program, string folder, int perBlock)
    {
        string points = "[4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359]";
        string logs = string.Join(", ", Files.Select(f => string.Format(CultureInfo.InvariantCulture,
            "{{\"file\": {0}, \"points\": {1}, \"records\": {2}, \"first_time\": 1700000000, " +
            "\"interval_s\": 60, \"records_per_block\": {3}}}", f, points, RecordsPerLog, perBlock)));
        string path = Path.Combine(folder, perBlock + ".json");
        File.WriteAllText(path, "{\"model\": \"em235\", \"deterministic\": true, \"default_logs\": false, " +
            "\"datalogs\": [" + logs + "]}");
        var info = new ProcessStartInfo(program, "--port 0 --scenario \"" + path + "\"");
        info.UseShellExecute = false;
        info.RedirectStandardOutput = true;
        Process process = Process.Start(info);
        string first = process.StandardOutput.ReadLine() ?? "";
        Match port = Regex.Match(first, @":(\d+) ");
        if (!port.Success) throw new Exception("tandrel-sim did not start: " + first);
        return Tuple.Create(process, int.Parse(port.Groups[1].Value, CultureInfo.InvariantCulture));
    }

    private static void Table(string title, int[] sizes, Dictionary<int, double[,]> best, int column)
    {
        int total = RecordsPerLog * Files.Length;
        Console.WriteLine("\n" + title + "\n");
        Console.WriteLine("| records per block | " + string.Join(" | ", sizes) + " |");
        Console.WriteLine("|---|" + string.Concat(Enumerable.Repeat("---:|", sizes.Length)));
        for (int way = 0; way < Ways.Length; ++way)
            Console.WriteLine("| " + Ways[way] + " | " + string.Join(" | ", sizes.Select(n =>
                (total / best[n][way, column]).ToString("N0", CultureInfo.InvariantCulture))) + " |");
    }

    private static string LoadAverage()
    {
        return string.Join(" ", File.ReadAllText("/proc/loadavg").Split(' ').Take(3));
    }

    private static string Machine()
    {
        string model = File.ReadLines("/proc/cpuinfo").Where(l => l.StartsWith("model name", StringComparison.Ordinal))
            .Select(l => l.Split(new[] { ':' }, 2)[1].Trim()).FirstOrDefault() ?? "";
        return string.Format(CultureInfo.InvariantCulture, "{0}, {1} cores, Linux {2}", model,
            Environment.ProcessorCount, File.ReadAllText("/proc/sys/kernel/osrelease").Trim());
    }
}
