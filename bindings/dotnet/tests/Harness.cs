// A runner without a test framework: named cases, plain checks, and
// "N passed, M failed" at the end (exit status 1 when any failed).
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Threading;

internal sealed class Case
{
    internal readonly string Name;
    internal readonly Action Run;

    internal Case(string name, Action run)
    {
        Name = name;
        Run = run;
    }
}

// Where the build put things, from the command line CTest gives.
internal sealed class Setup
{
    internal string Sim, Data, Sample, Mono, Version, Temp;

    internal static Setup Parse(string[] args)
    {
        var s = new Setup();
        for (int i = 0; i + 1 < args.Length; i += 2)
        {
            string v = args[i + 1];
            switch (args[i])
            {
                case "--sim": s.Sim = v; break;
                case "--data": s.Data = v; break;
                case "--sample": s.Sample = v; break;
                case "--mono": s.Mono = v; break;
                case "--version": s.Version = v; break;
                default: throw new ArgumentException("unknown option " + args[i]);
            }
        }
        s.Temp = Path.Combine(Path.GetTempPath(), "tandrel-dotnet-" + Guid.NewGuid().ToString("N"));
        Directory.CreateDirectory(s.Temp);
        return s;
    }

    internal string DataFile(string name)
    {
        return Path.Combine(Data, name);
    }

    internal string Expected(string name)
    {
        return File.ReadAllText(DataFile(name)).TrimEnd('\n');
    }
}

internal static class Check
{
    internal static void Equal<T>(T expected, T actual, string what)
    {
        if (!EqualityComparer<T>.Default.Equals(expected, actual))
        {
            throw new Exception(string.Format(CultureInfo.InvariantCulture,
                "{0}: expected <{1}>, got <{2}>", what, expected, actual));
        }
    }

    internal static void Lines(IList<string> expected, IList<string> actual, string what)
    {
        for (int i = 0; i < Math.Min(expected.Count, actual.Count); ++i) Equal(expected[i], actual[i], what + " line " + (i + 1));
        Equal(expected.Count, actual.Count, what + " line count");
    }

    internal static void True(bool condition, string what)
    {
        if (!condition) throw new Exception(what);
    }

    internal static T Throws<T>(Action action, string message) where T : Exception
    {
        try
        {
            action();
        }
        catch (T e)
        {
            if (message != null) Equal(message, e.Message, typeof(T).Name + " message");
            return e;
        }
        catch (Exception e)
        {
            throw new Exception("expected " + typeof(T).Name + ", got " + e.GetType().Name + ": " + e.Message);
        }
        throw new Exception("expected " + typeof(T).Name + ", nothing was thrown");
    }
}

internal static class Await
{
    // Waits for something another process or thread does; the limit only ends a hung run.
    internal static void Until(Func<bool> done, string what)
    {
        var clock = System.Diagnostics.Stopwatch.StartNew();
        while (!done())
        {
            if (clock.Elapsed > TimeSpan.FromSeconds(30)) throw new Exception("gave up waiting for " + what);
            Thread.Sleep(10);
        }
    }
}

internal static class Program
{
    private static int Main(string[] args)
    {
        // A decimal comma shows any number formatted or parsed by the current culture.
        CultureInfo.DefaultThreadCurrentCulture = new CultureInfo("de-DE");
        Thread.CurrentThread.CurrentCulture = CultureInfo.DefaultThreadCurrentCulture;
        Setup setup = Setup.Parse(args);
        int passed = 0, failed = 0;
        try
        {
            foreach (Case c in MeterTests.All(setup))
            {
                try
                {
                    c.Run();
                    ++passed;
                    Console.WriteLine("ok    " + c.Name);
                }
                catch (Exception e)
                {
                    ++failed;
                    Console.WriteLine("FAIL  " + c.Name + ": " + e.Message);
                }
            }
        }
        finally
        {
            Directory.Delete(setup.Temp, true);
        }
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }
}
