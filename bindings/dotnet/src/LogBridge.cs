// The process-wide log callback behind Meter.Log. The library keeps only a
// raw function pointer, so the delegate handed to it lives in a static field
// for exactly as long as it is installed; a delegate held nowhere else would
// be collected and the next message would jump into freed code.
using System;
using System.Runtime.InteropServices;

namespace Tandrel
{
    internal static class LogBridge
    {
        private static readonly object s_gate = new object();
        private static Action<LogLevel, string> s_handlers;
        // Only held, never read: it is what keeps the installed delegate alive.
#pragma warning disable 414
        private static Sink s_installed;
#pragma warning restore 414

        internal static void Add(Action<LogLevel, string> handler)
        {
            if (handler == null) return;
            lock (s_gate)
            {
                s_handlers += handler;
                Install(s_handlers);
            }
        }

        internal static void Remove(Action<LogLevel, string> handler)
        {
            if (handler == null) return;
            lock (s_gate)
            {
                s_handlers -= handler;
                Install(s_handlers);
            }
        }

        // Each set of handlers gets a callback of its own. The library swaps the
        // pointer under the lock its messages are sent under, so once the call
        // returns the previous callback is not running and may be dropped.
        private static void Install(Action<LogLevel, string> handlers)
        {
            Sink sink = handlers == null ? null : new Sink(handlers);
            Native.tandrel_set_log_callback(sink == null ? null : sink.Callback, IntPtr.Zero);
            s_installed = sink;
        }

        private sealed class Sink
        {
            private readonly Action<LogLevel, string> handlers;
            internal readonly Native.LogCallback Callback;

            internal Sink(Action<LogLevel, string> handlers)
            {
                this.handlers = handlers;
                Callback = Deliver;
            }

            // Runs under the library's log lock on whichever thread logs: an
            // exception must not unwind into the library, so a failing handler
            // loses its message rather than the call.
            private void Deliver(int level, IntPtr message, IntPtr user)
            {
                try
                {
                    string text = Marshal.PtrToStringAnsi(message);
                    // The binding's own buffer retry is not the caller's concern.
                    if (level == (int)LogLevel.Error && Call.IsRetryMessage(text)) return;
                    handlers((LogLevel)level, text);
                }
                catch (Exception)
                {
                }
            }
        }
    }
}
