// The small public types the Meter's methods hand out.
using System;
using System.Globalization;

namespace Tandrel
{
    /// <summary>A call into the library failed; the message is the library's own text.</summary>
    [Serializable]
    public class TandrelException : Exception
    {
        /// <summary>Creates the exception with the library's message.</summary>
        public TandrelException(string message) : base(message) { }

        /// <summary>Creates the exception with a message and the exception behind it.</summary>
        public TandrelException(string message, Exception inner) : base(message, inner) { }

        /// <summary>Restores a serialized exception.</summary>
        protected TandrelException(System.Runtime.Serialization.SerializationInfo info,
                                   System.Runtime.Serialization.StreamingContext context)
            : base(info, context) { }
    }

    /// <summary>Severity of a library log message.</summary>
    public enum LogLevel
    {
        /// <summary>The message of a failed call.</summary>
        Error = 0,
        /// <summary>A point or log file that could not be read fully.</summary>
        Warning = 1,
        /// <summary>Record counts of log files.</summary>
        Info = 2,
        /// <summary>Connections, failed register blocks, transfer summaries.</summary>
        Debug = 3,
    }

    /// <summary>How far a CSV export has come.</summary>
    public struct ExportProgress
    {
        /// <summary>Creates a progress value; a negative total means the meter announced none.</summary>
        public ExportProgress(int done, int total)
        {
            Done = done;
            Total = total < 0 ? (int?)null : total;
        }

        /// <summary>Records written so far.</summary>
        public int Done { get; private set; }

        /// <summary>The record count the meter announced, or null when it announced none.</summary>
        public int? Total { get; private set; }

        /// <summary>"done/total", or "done" when the total is unknown.</summary>
        public override string ToString()
        {
            return Total.HasValue
                ? string.Format(CultureInfo.InvariantCulture, "{0}/{1}", Done, Total.Value)
                : Done.ToString(CultureInfo.InvariantCulture);
        }
    }
}
