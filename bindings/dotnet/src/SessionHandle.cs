// The handle of a library session (tandrel_open), closed exactly once: by
// Dispose, or by the finalizer when the owner forgot. As a SafeHandle it is
// also kept open for as long as a call that was handed it runs, so that a
// Dispose on another thread never closes it under that call.
using System;
using System.Runtime.InteropServices;

namespace Tandrel
{
    internal sealed class SessionHandle : SafeHandle
    {
        // Made by the marshaller for tandrel_open's result.
        public SessionHandle() : base(IntPtr.Zero, true)
        {
        }

        public override bool IsInvalid
        {
            get { return handle == IntPtr.Zero; }
        }

        protected override bool ReleaseHandle()
        {
            Native.tandrel_close(handle);
            return true;
        }
    }
}
