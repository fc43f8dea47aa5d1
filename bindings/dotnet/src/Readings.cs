// Typed readings: the library's readings document parsed with the class
// library's own JSON reader, so that hosts need no package for it.
using System;
using System.Collections;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Runtime.Serialization;
using System.Runtime.Serialization.Json;
using System.Text;

namespace Tandrel
{
    /// <summary>One value read from a meter, scaled as the meter is set up.</summary>
    public sealed class Reading
    {
        internal Reading(int pid, string name, double value, string unit)
        {
            Pid = pid;
            Name = name;
            Value = value;
            Unit = unit;
        }

        /// <summary>The point id, such as 4352 (0x1100) for V1.</summary>
        public int Pid { get; private set; }

        /// <summary>The point's name, such as "V1".</summary>
        public string Name { get; private set; }

        /// <summary>The value in <see cref="Unit"/>.</summary>
        public double Value { get; private set; }

        /// <summary>The unit, such as "V"; empty for a ratio.</summary>
        public string Unit { get; private set; }

        /// <summary>"Name = Value Unit".</summary>
        public override string ToString()
        {
            return string.Format(CultureInfo.InvariantCulture, "{0} = {1} {2}", Name, Value, Unit).TrimEnd();
        }
    }

    /// <summary>The readings of one call, in the order asked for; points the meter could not
    /// read are left out.</summary>
    public sealed class Readings : IReadOnlyList<Reading>
    {
        private readonly List<Reading> items;

        private Readings(string meter, string host, DateTime timestamp, List<Reading> items)
        {
            Meter = meter;
            Host = host;
            Timestamp = timestamp;
            this.items = items;
        }

        /// <summary>The meter model the readings were taken as.</summary>
        public string Meter { get; private set; }

        /// <summary>The host the meter was reached at.</summary>
        public string Host { get; private set; }

        /// <summary>When the values were read, by this computer's clock (UTC).</summary>
        public DateTime Timestamp { get; private set; }

        /// <summary>The number of readings.</summary>
        public int Count { get { return items.Count; } }

        /// <summary>The reading at <paramref name="index"/>.</summary>
        public Reading this[int index] { get { return items[index]; } }

        /// <summary>The readings in order.</summary>
        public IEnumerator<Reading> GetEnumerator() { return items.GetEnumerator(); }

        IEnumerator IEnumerable.GetEnumerator() { return GetEnumerator(); }

        internal static Readings Parse(string json)
        {
            var serializer = new DataContractJsonSerializer(typeof(ReadingsDocument));
            ReadingsDocument doc;
            using (var stream = new MemoryStream(Encoding.UTF8.GetBytes(json)))
            {
                doc = (ReadingsDocument)serializer.ReadObject(stream);
            }
            var items = new List<Reading>();
            foreach (ReadingEntry r in doc.Readings ?? new ReadingEntry[0])
            {
                items.Add(new Reading(r.Pid, r.Name, r.Value, r.Unit));
            }
            // The library writes UTC with milliseconds and a Z.
            DateTime timestamp = DateTime.ParseExact(doc.Timestamp, "yyyy-MM-dd'T'HH:mm:ss.fff'Z'",
                CultureInfo.InvariantCulture, DateTimeStyles.AdjustToUniversal | DateTimeStyles.AssumeUniversal);
            return new Readings(doc.Meter, doc.Host, timestamp, items);
        }

        [DataContract]
        private sealed class ReadingsDocument
        {
            [DataMember(Name = "meter")] public string Meter = null;
            [DataMember(Name = "host")] public string Host = null;
            [DataMember(Name = "timestamp")] public string Timestamp = null;
            [DataMember(Name = "readings")] public ReadingEntry[] Readings = null;
        }

        [DataContract]
        private sealed class ReadingEntry
        {
            [DataMember(Name = "pid")] public int Pid = 0;
            [DataMember(Name = "name")] public string Name = null;
            [DataMember(Name = "value")] public double Value = 0;
            [DataMember(Name = "unit")] public string Unit = null;
        }
    }
}
