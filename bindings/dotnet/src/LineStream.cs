// A log stream as an enumeration. The library pushes lines into a callback
// from a call that owns its thread's stack, so the call runs on a thread of
// its own and hands the lines over to the consumer: it runs at most a few
// dozen lines ahead, then waits inside the callback until the consumer has
// taken them, and leaving the enumeration makes the callback answer "stop",
// which ends the call and closes its connection before Dispose returns.
using System;
using System.Collections;
using System.Collections.Generic;
using System.Diagnostics;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Threading;

namespace Tandrel
{
    internal sealed class LineStream : IEnumerable<string>
    {
        // Runs the library call with the callback and error buffer given; returns its status.
        internal delegate int StreamCall(Native.OutputCallback callback, byte[] error);

        private readonly StreamCall call;

        internal LineStream(StreamCall call)
        {
            this.call = call;
        }

        public IEnumerator<string> GetEnumerator()
        {
            return new Reader(call);
        }

        IEnumerator IEnumerable.GetEnumerator()
        {
            return GetEnumerator();
        }

        // What the consumer and the call's thread share. The thread holds only
        // this, so an abandoned Reader is collected and its finalizer stops the call.
        // Lines cross in batches: a wake-up of the other thread costs tens of
        // microseconds, far more than a line, so neither side is woken per line.
        private sealed class Handoff
        {
            // Lines the call may run ahead of the consumer: bounded, so that a
            // consumer that stops early has cost the meter few requests.
            internal const int AheadLimit = 32;
            // The consumer waits for half of that, but no longer than a blink
            // after the first line came, so a slow meter's lines arrive promptly.
            private const int Batch = AheadLimit / 2;
            private static readonly TimeSpan Gather = TimeSpan.FromMilliseconds(20);

            private readonly object gate = new object();
            private List<string> lines = new List<string>(AheadLimit);
            private bool consumerWaiting;
            private bool callWaiting;
            private bool stop;
            private bool finished;

            internal int Status;
            internal ExceptionDispatchInfo Failure;
            internal readonly byte[] Error = Call.NewErrorBuffer();

            // Runs in the library's callback on the call's thread.
            internal int Offer(IntPtr text)
            {
                string s;
                try
                {
                    s = Marshal.PtrToStringAnsi(text);
                }
                catch (Exception e)
                {
                    Failure = ExceptionDispatchInfo.Capture(e);
                    return 1;
                }
                lock (gate)
                {
                    while (lines.Count >= AheadLimit && !stop)
                    {
                        callWaiting = true;
                        Monitor.Wait(gate);
                        callWaiting = false;
                    }
                    if (stop) return 1;
                    lines.Add(s);
                    if (consumerWaiting && (lines.Count == 1 || lines.Count == Batch)) Monitor.PulseAll(gate);
                    return 0;
                }
            }

            // Runs on the consumer's thread: the lines that arrived, in `into`
            // (emptied first); none only once the call has ended.
            internal void Take(ref List<string> into)
            {
                into.Clear();
                lock (gate)
                {
                    var clock = new Stopwatch();
                    while (!finished && lines.Count < Batch)
                    {
                        TimeSpan wait = Timeout.InfiniteTimeSpan;
                        if (lines.Count > 0)
                        {
                            if (!clock.IsRunning) clock.Start();
                            wait = Gather - clock.Elapsed;
                            if (wait <= TimeSpan.Zero) break;
                        }
                        consumerWaiting = true;
                        Monitor.Wait(gate, wait);
                        consumerWaiting = false;
                    }
                    List<string> taken = lines;
                    lines = into;
                    into = taken;
                    if (callWaiting) Monitor.PulseAll(gate);
                }
            }

            internal void RequestStop()
            {
                lock (gate)
                {
                    stop = true;
                    lines.Clear();
                    Monitor.PulseAll(gate);
                }
            }

            internal void Finish()
            {
                lock (gate)
                {
                    finished = true;
                    Monitor.PulseAll(gate);
                }
            }
        }

        private sealed class Reader : IEnumerator<string>
        {
            private readonly StreamCall call;
            private readonly Handoff handoff = new Handoff();
            private Thread thread;
            private List<string> batch = new List<string>(Handoff.AheadLimit);
            private int next;
            private string current;
            private bool ended;

            internal Reader(StreamCall call)
            {
                this.call = call;
            }

            ~Reader()
            {
                handoff.RequestStop();
            }

            public string Current
            {
                get { return current; }
            }

            object IEnumerator.Current
            {
                get { return current; }
            }

            public bool MoveNext()
            {
                if (ended) return false;
                if (thread == null) Start();
                if (next == batch.Count)
                {
                    handoff.Take(ref batch);
                    next = 0;
                }
                if (next < batch.Count)
                {
                    current = batch[next++];
                    return true;
                }
                current = null;
                ended = true;
                thread.Join();
                GC.SuppressFinalize(this);
                if (handoff.Failure != null) handoff.Failure.Throw();
                Call.Check(handoff.Status, handoff.Error);
                return false;
            }

            public void Reset()
            {
                throw new NotSupportedException("A log stream cannot be rewound; enumerate it again.");
            }

            public void Dispose()
            {
                ended = true;
                current = null;
                batch.Clear();
                handoff.RequestStop();
                if (thread != null) thread.Join();
                GC.SuppressFinalize(this);
            }

            private void Start()
            {
                Handoff shared = handoff;
                StreamCall run = call;
                thread = new Thread(() => RunCall(shared, run));
                thread.IsBackground = true;
                thread.Name = "tandrel log stream";
                thread.Start();
            }

            // Static: the thread must not hold the Reader, or an abandoned one is never collected.
            private static void RunCall(Handoff shared, StreamCall run)
            {
                Native.OutputCallback callback = (text, user) => shared.Offer(text);
                try
                {
                    shared.Status = run(callback, shared.Error);
                }
                catch (Exception e)
                {
                    shared.Failure = ExceptionDispatchInfo.Capture(e);
                }
                finally
                {
                    GC.KeepAlive(callback);
                    shared.Finish();
                }
            }
        }
    }
}
