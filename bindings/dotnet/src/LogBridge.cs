// The process-wide log callback behind Meter.Log. The library keeps only a
// raw function pointer, so the delegate handed to it lives in a static field
// for exactly as long as it is installed; a delegate held nowhere else would
// be collected and the next message would jump into freed code.
using System;
using System.Runtime.InteropServices;
using System.Threading;

namespace Tandrel
{
    internal static class LogBridge
    {
        private static readonly object s_gate = new object();
        private static Action<LogLevel, string> s_handlers;
        private static Native.LogCallback s_installed;

        internal static void Add(Action<LogLevel, string> handler)
        {
            if (handler == null) return;
            lock (s_gate)
            {
                s_handlers += handler;
                if (s_installed != null) return;
                var callback = new Native.LogCallback(Deliver);
                Native.tandrel_set_log_callback(callback, IntPtr.Zero);
                s_installed = callback;
            }
        }

        internal static void Remove(Action<LogLevel, string> handler)
        {
            if (handler == null) return;
            lock (s_gate)
            {
                s_handlers -= handler;
                if (s_handlers != null || s_installed == null) return;
                // Once this returns the library no longer calls the delegate
                // (it swaps the pointer under the lock its messages are sent under).
                Native.tandrel_set_log_callback(null, IntPtr.Zero);
                s_installed = null;
            }
        }

        // Runs under the library's log lock on whichever thread logs: an
        // exception must not unwind into the library, so a failing handler
        // loses its message rather than the call.
        private static void Deliver(int level, IntPtr message, IntPtr user)
        {
            try
            {
                string text = Marshal.PtrToStringAnsi(message);
                // The binding's own buffer retry is not the caller's concern.
                if (level == (int)LogLevel.Error && Call.IsRetryMessage(text)) return;
                Action<LogLevel, string> handlers = Volatile.Read(ref s_handlers);
                if (handlers != null) handlers((LogLevel)level, text);
            }
            catch (Exception)
            {
            }
        }
    }
}
