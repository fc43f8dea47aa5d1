// The functions of include/tandrel.h as the runtime sees them (the sixteen
// plain calls and the session calls), and their three callback types.
// Nothing here but declarations. A tandrel_session* travels as a
// SessionHandle, which closes it once (tandrel_close takes the raw value).
//
// Text arguments are 8-bit: LPStr is the process's ANSI code page on Windows
// and UTF-8 on Linux (Mono, .NET), which is what the library hands to the
// operating system unchanged. Output and error buffers are byte arrays owned
// by the caller; Call decodes them the same way.
using System;
using System.Runtime.InteropServices;

namespace Tandrel
{
    internal static class Native
    {
        // "tandrel" resolves to tandrel.dll on Windows and libtandrel.so on
        // Linux (Mono maps it to libtandrel.so.1 through Tandrel.dll.config).
        private const string Library = "tandrel";

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void LogCallback(int level, IntPtr message, IntPtr user);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int OutputCallback(IntPtr text, IntPtr user);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int ProgressCallback(int done, int total, IntPtr user);

        // IntPtr, not string: the marshaller would free a returned string, and
        // this one is the library's constant.
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tandrel_version();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tandrel_set_log_callback(LogCallback cb, IntPtr user);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_device_info(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [MarshalAs(UnmanagedType.LPStr)] string options,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_list_logs(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [MarshalAs(UnmanagedType.LPStr)] string options,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_live(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_live_ex(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [MarshalAs(UnmanagedType.LPStr)] string options,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_list_points(
            [MarshalAs(UnmanagedType.LPStr)] string meter,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_points(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [MarshalAs(UnmanagedType.LPStr)] string options, [MarshalAs(UnmanagedType.LPStr)] string points,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_datalog(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string options,
            OutputCallback cb, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_read_eventlog(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string options,
            OutputCallback cb, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_datalog(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_datalog_ex(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            [MarshalAs(UnmanagedType.LPStr)] string options,
            ProgressCallback progress, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_eventlog(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_eventlog_ex(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            [MarshalAs(UnmanagedType.LPStr)] string options,
            ProgressCallback progress, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_em133_all(
            [MarshalAs(UnmanagedType.LPStr)] string host, int setClock, int clockParam,
            [MarshalAs(UnmanagedType.LPStr)] string outDir, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_export_em235_diagnostics(
            [MarshalAs(UnmanagedType.LPStr)] string host, int unitId, int registerNo, int count,
            [MarshalAs(UnmanagedType.LPStr)] string wordOrder, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern SessionHandle tandrel_open(
            [MarshalAs(UnmanagedType.LPStr)] string host, [MarshalAs(UnmanagedType.LPStr)] string meter,
            [MarshalAs(UnmanagedType.LPStr)] string options, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tandrel_close(IntPtr session);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tandrel_session_read_device_info(
            SessionHandle session, [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tandrel_session_read_live(
            SessionHandle session, [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_session_read_points(
            SessionHandle session, [MarshalAs(UnmanagedType.LPStr)] string points,
            [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tandrel_session_list_logs(
            SessionHandle session, [Out] byte[] output, int outputLength, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tandrel_session_read_datalog(
            SessionHandle session, int fileId, OutputCallback cb, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tandrel_session_read_eventlog(
            SessionHandle session, int fileId, OutputCallback cb, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_session_export_datalog(
            SessionHandle session, int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            ProgressCallback progress, IntPtr user, [Out] byte[] error, int errorLength);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi,
                   BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int tandrel_session_export_eventlog(
            SessionHandle session, int fileId, [MarshalAs(UnmanagedType.LPStr)] string csvPath,
            ProgressCallback progress, IntPtr user, [Out] byte[] error, int errorLength);
    }
}
