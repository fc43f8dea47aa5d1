// What every call into the library shares: the error buffer, the status
// turned into an exception, 8-bit text decoded, and the retry when a JSON
// document did not fit the output buffer.
using System;
using System.Globalization;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Threading;

namespace Tandrel
{
    internal static class Call
    {
        // Every message the library writes fits; a longer one is cut, never overrun.
        internal const int ErrorCapacity = 4096;

        private const string TooSmallPrefix = "Output buffer too small: need ";

        // The output buffer's size. It grows to the largest document seen, so a
        // process pays for one retry per size of document at most (a retry
        // repeats the meter's requests). Internal so that a test can start small.
        internal static int s_outputCapacity = 4096;

        internal delegate int DocumentCall(byte[] output, int outputLength, byte[] error, int errorLength);

        internal static byte[] NewErrorBuffer()
        {
            return new byte[ErrorCapacity];
        }

        // The text up to the terminator, decoded as the marshaller encodes
        // LPStr arguments: ANSI on Windows, UTF-8 elsewhere.
        internal static string Decode(byte[] buffer, int length)
        {
            GCHandle pin = GCHandle.Alloc(buffer, GCHandleType.Pinned);
            try
            {
                return Marshal.PtrToStringAnsi(pin.AddrOfPinnedObject(), length);
            }
            finally
            {
                pin.Free();
            }
        }

        // The text a library call wrote into a buffer of ours.
        internal static string Text(byte[] buffer)
        {
            int length = Array.IndexOf(buffer, (byte)0);
            return Decode(buffer, length < 0 ? buffer.Length : length);
        }

        internal static string Message(byte[] error)
        {
            return Text(error);
        }

        // Turns -1 and -2 into exceptions. `pending` is an exception a callback
        // caught (it stopped the call with -2 and is rethrown as it was).
        internal static int Check(int status, byte[] error, ExceptionDispatchInfo pending,
                                  CancellationToken token)
        {
            if (pending != null) pending.Throw();
            if (status == -2) throw new OperationCanceledException(Message(error), token);
            if (status < 0) throw new TandrelException(Message(error));
            return status;
        }

        internal static int Check(int status, byte[] error)
        {
            return Check(status, error, null, CancellationToken.None);
        }

        // Runs a call that writes a JSON document, with a bigger buffer as long
        // as the library asks for one (a live document can grow between calls).
        internal static string Document(DocumentCall call)
        {
            for (int attempt = 0; ; ++attempt)
            {
                int capacity = Volatile.Read(ref s_outputCapacity);
                byte[] output = new byte[capacity];
                byte[] error = NewErrorBuffer();
                int status = call(output, output.Length, error, error.Length);
                if (status >= 0) return Text(output);
                int need = status == -1 && attempt < 4 ? NeededBytes(Message(error)) : 0;
                if (need <= capacity) Check(status, error);
                Grow(need);
            }
        }

        // The N of "Output buffer too small: need N bytes", or 0 for any other message.
        internal static int NeededBytes(string message)
        {
            if (!message.StartsWith(TooSmallPrefix, StringComparison.Ordinal)) return 0;
            int end = message.IndexOf(' ', TooSmallPrefix.Length);
            if (end < 0) return 0;
            int need;
            string digits = message.Substring(TooSmallPrefix.Length, end - TooSmallPrefix.Length);
            return int.TryParse(digits, NumberStyles.None, CultureInfo.InvariantCulture, out need) ? need : 0;
        }

        internal static bool IsRetryMessage(string message)
        {
            return NeededBytes(message) > 0;
        }

        private static void Grow(int need)
        {
            int seen = Volatile.Read(ref s_outputCapacity);
            while (need > seen)
            {
                int previous = Interlocked.CompareExchange(ref s_outputCapacity, need, seen);
                if (previous == seen) return;
                seen = previous;
            }
        }
    }
}
