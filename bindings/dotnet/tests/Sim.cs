// A tandrel-sim process serving one scenario on loopback, with its trace
// lines ("conn 1 #3 tid 3 unit 1 fc 3 ...") kept for the tests to count.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
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
    internal Sim(Setup setup, string scenario, string address = "127.0.0.1", int port = 0)
    {
        var info = new ProcessStartInfo(setup.Sim, string.Format(CultureInfo.InvariantCulture,
            "--trace --address {0} --port {1} --scenario \"{2}\"", address, port, setup.DataFile(scenario)));
        info.UseShellExecute = false;
        info.RedirectStandardOutput = true;
        info.RedirectStandardError = true;
        process = Process.Start(info);
        string first = process.StandardOutput.ReadLine();
        if (first == null || !first.Contains(" listening on "))
        {
            process.WaitForExit();
            throw new Exception("tandrel-sim did not start: " + process.StandardError.ReadToEnd().Trim());
        }
        Address = address;
        Port = int.Parse(first.Substring(first.LastIndexOf(':') + 1).Split(' ')[0], CultureInfo.InvariantCulture);
        reader = new Thread(ReadTrace);
        reader.IsBackground = true;
        reader.Start();
    }

    internal Meter Meter(string model = "em235")
    {
        return new Meter(Address, model, Port);
    }

    // Requests the simulator has traced on connection `conn` (counted from 1).
    internal int RequestsOn(int conn)
    {
        string prefix = "conn " + conn.ToString(CultureInfo.InvariantCulture) + " #";
        lock (lines) return lines.FindAll(l => l.StartsWith(prefix, StringComparison.Ordinal)).Count;
    }

    // Trace lines holding `text`.
    internal int Matching(string text)
    {
        lock (lines) return lines.FindAll(l => l.Contains(text)).Count;
    }

    // Trace lines arrive through a pipe: a request of connection `conn` being
    // there means every earlier request is there too.
    internal void AwaitConnection(int conn)
    {
        Await.Until(() => RequestsOn(conn) > 0, "a request on connection " + conn);
    }

    // Connections of this process to the simulator that are still open
    // (established, with the simulator's port at the far end).
    internal int OpenClientConnections()
    {
        string far = ":" + Port.ToString("X4", CultureInfo.InvariantCulture);
        int open = 0;
        foreach (string line in File.ReadAllLines("/proc/net/tcp").Skip(1))
        {
            string[] f = line.Split(new[] { ' ' }, StringSplitOptions.RemoveEmptyEntries);
            if (f[2].EndsWith(far, StringComparison.Ordinal) && f[3] == "01") ++open;
        }
        return open;
    }

    public void Dispose()
    {
        if (!process.HasExited) process.Kill();
        process.WaitForExit();
        reader.Join();
        process.Dispose();
    }

    private void ReadTrace()
    {
        string line;
        while ((line = process.StandardOutput.ReadLine()) != null)
        {
            lock (lines) lines.Add(line);
        }
    }
}
