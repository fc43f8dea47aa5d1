// A log stream as an enumeration. The library pushes lines into a callback
// from a call that owns its thread's stack, so the call runs on a thread of
// its own and hands each line over to the consumer: it is held inside the
// callback until the consumer asks for the next line, and leaving the
// enumeration makes the callback answer "stop", which ends the call and closes
// its connection before Dispose returns. No line is read ahead.
using System;
using System.Collections;
using System.Collections.Generic;
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
        private sealed class Handoff
        {
            private readonly object gate = new object();
            private string line;
            private bool hasLine;
            private bool wanted;
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
                    while (!wanted && !stop) Monitor.Wait(gate);
                    if (stop) return 1;
                    line = s;
                    hasLine = true;
                    wanted = false;
                    Monitor.PulseAll(gate);
                    // The call stays paused while the consumer holds the line.
                    while (!wanted && !stop) Monitor.Wait(gate);
                    return stop ? 1 : 0;
                }
            }

            // Runs on the consumer's thread; false once the call has ended.
            internal bool Take(out string next)
            {
                lock (gate)
                {
                    wanted = true;
                    Monitor.PulseAll(gate);
                    while (!hasLine && !finished) Monitor.Wait(gate);
                    next = line;
                    line = null;
                    if (!hasLine) return false;
                    hasLine = false;
                    return true;
                }
            }

            internal void RequestStop()
            {
                lock (gate)
                {
                    stop = true;
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
                if (handoff.Take(out current)) return true;
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
