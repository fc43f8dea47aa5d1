// A tandrel-sim process serving one scenario on loopback, with its trace
// lines ("conn 1 #3 tid 3 unit 1 fc 3 ...") kept for the tests to count.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Text.RegularExpressions;
using System.Threading;
using Tandrel;

internal sealed class Sim : IDisposable
{
    private readonly Process process;
    private readonly Thread reader;
    private readonly List<string> lines = new List<string>();
    internal readonly string Address;
    internal readonly int Port;

    // Port 0 lets the simulator pick a free port; it prints the one it took.
    internal Sim(string scenario, string address = "127.0.0.1", int port = 0)
    {
        var info = new ProcessStartInfo(Tests.Args["--sim"], string.Format(CultureInfo.InvariantCulture,
            "--trace --address {0} --port {1} --scenario \"{2}\"", address, port, Path.Combine(Tests.Args["--data"], scenario)));
        info.UseShellExecute = false;
        info.RedirectStandardOutput = true;
        process = Process.Start(info);
        Address = address;
        Port = int.Parse(Regex.Match(process.StandardOutput.ReadLine() ?? "", @":(\d+) ").Groups[1].Value, CultureInfo.InvariantCulture);
        reader = new Thread(() =>
        {
            for (string line; (line = process.StandardOutput.ReadLine()) != null;)
                lock (lines) lines.Add(line);
        });
        reader.Start();
    }

    // The cases know the simulated model, and several count the connections or
    // requests of one call: their Meter skips the identity read.
    internal Meter Meter() => new Meter(Address, "em235", Port, forceModel: true);

    internal int Matching(string text) { lock (lines) return lines.Count(l => l.Contains(text)); }

    // Requests the simulator has traced on connection `conn` (counted from 1).
    internal int RequestsOn(int conn) => Matching("conn " + conn.ToString(CultureInfo.InvariantCulture) + " #");

    // Trace lines arrive through a pipe: a request of connection `conn` being
    // there means every earlier request is there too.
    internal void AwaitConnection(int conn) => Await(() => RequestsOn(conn) > 0, "a request on connection " + conn);

    // Trace lines reach this process through a pipe and a reader thread, so a
    // call that has returned may not show in them yet. The simulator traces a
    // request before it answers it, one request after another: once a marker
    // request made now shows (unit 247, which no test uses), every request
    // answered before it shows too.
    internal void Sync()
    {
        int marks = Matching(" unit 247 ");
        byte[] output = new byte[16384], error = Call.NewErrorBuffer();
        string options = string.Format(CultureInfo.InvariantCulture, "{{\"port\":{0},\"unit_id\":247}}", Port);
        Native.tandrel_read_device_info(Address, "em235", options, output, output.Length, error, error.Length);
        Await(() => Matching(" unit 247 ") > marks, "the marker request in the trace");
    }

    // Waits for something another process or thread does; the limit only ends a hung run.
    internal static void Await(Func<bool> done, string what)
    {
        for (var clock = Stopwatch.StartNew(); !done(); Thread.Sleep(10))
            if (clock.Elapsed > TimeSpan.FromSeconds(30)) throw new Exception("gave up waiting for " + what);
    }

    // Connections of this process to the simulator that are still open
    // (established, with the simulator's port at the far end).
    internal int OpenClientConnections() => File.ReadAllLines("/proc/net/tcp").Skip(1)
        .Select(line => line.Split(new[] { ' ' }, StringSplitOptions.RemoveEmptyEntries))
        .Count(f => f[2].EndsWith(":" + Port.ToString("X4", CultureInfo.InvariantCulture), StringComparison.Ordinal) && f[3] == "01");

    public void Dispose()
    {
        process.Kill();
        reader.Join();
        process.Dispose();
    }
}
