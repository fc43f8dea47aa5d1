// Meter.Connect: a Meter on a library session. The simulator's trace shows
// what the session saves; Dispose closes the session, once.
using System;
using System.Globalization;
using System.IO;
using System.Linq;
using Tandrel;

public static partial class Tests
{
    // Two polls on a session: one connection, the identity read once at the
    // open, then the four live requests of an em235 per poll. A plain call on
    // a second connection afterwards flushes the trace of the first.
    public static void PollsThroughASessionSendTheLiveRequestsOnly()
    {
        using (var em235 = new Sim("em235.json"))
        {
            int[] live;
            using (Meter meter = Meter.Connect(em235.Address, port: em235.Port))
            {
                Equal("em235", meter.Model, "model learnt at the open");
                live = new[] { meter.Live().Count, meter.Live().Count };
            }
            em235.Meter().Live();
            em235.AwaitConnection(2);
            Equal("61 61", string.Join(" ", live), "live values");
            Equal(1, em235.Matching(" addr 0xB400 "), "identity reads");
            Equal(20 + 2 * 4, em235.RequestsOn(1), "requests of the open and two polls");
        }
    }

    // What a session reads equals what the plain Meter reads.
    public static void TheSessionReadsAsThePlainMeter()
    {
        Meter plain = sim.Meter();
        using (Meter meter = Meter.Connect("127.0.0.1", "em235", sim.Port))
        {
            Equal(plain.DeviceInfoJson(), meter.DeviceInfoJson(), "DeviceInfoJson");
            Equal(plain.LogsJson(), meter.LogsJson(), "LogsJson");
            Equal(Describe(plain.Read("V1", "total kw")), Describe(meter.Read("V1", "total kw")), "Read");
            Equal(string.Join("\n", plain.Datalog(1)), string.Join("\n", meter.Datalog(1)), "Datalog");
            Equal(string.Join("\n", plain.Events()), string.Join("\n", meter.Events()), "Events");
            string a = Path.Combine(Temp, "session.csv"), b = Path.Combine(Temp, "plain.csv");
            Equal(plain.ExportDatalog(1, b), meter.ExportDatalog(1, a), "ExportDatalog");
            Equal(File.ReadAllText(b), File.ReadAllText(a), "exported CSV");
        }
    }

    // A contradicting model fails the open; a disposed Meter refuses its methods.
    public static void ConnectChecksTheModelAndDisposeCloses()
    {
        using (var em133 = new Sim("em133.json"))
        {
            string where = em133.Address + ":" + em133.Port.ToString(CultureInfo.InvariantCulture);
            Throws<TandrelException>(() => Meter.Connect(em133.Address, "em235", em133.Port),
                "the meter at " + where + " reports model id 133 (em133), not em235");
            Meter meter = Meter.Connect(em133.Address, port: em133.Port, setupMaxAge: TimeSpan.FromMinutes(1));
            Equal(230.0, meter.Read("V1")[0].Value, "read as the em133 it is");
            meter.Dispose();
            meter.Dispose();
            bool refused = false;
            try { meter.Live(); }
            catch (ObjectDisposedException) { refused = true; }
            Equal(true, refused, "a method after Dispose");
            Sim.Await(() => em133.OpenClientConnections() == 0, "the session's connection to close");
        }
        Throws<TandrelException>(() => Meter.Connect("127.0.0.1", "em235", 1), "Cannot connect to 127.0.0.1:1");
    }
}
