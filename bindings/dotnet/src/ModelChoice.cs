// Which model a Meter reads its meter as. The library trusts the model it is
// given and reads wrong values from a meter of another model, so a Meter does
// not guess: its first call reads the meter's identity and learns the model
// from it, or checks the one given against it. forceModel reads the meter as
// the model given without reading the identity.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text.RegularExpressions;

namespace Tandrel
{
    internal sealed class ModelChoice
    {
        // The model ids of the identification block, and the register map each
        // model is read through: a pm335 reads as an em235.
        private static readonly Dictionary<long, string> ModelIds = new Dictionary<long, string>
        {
            { 133, "em133" }, { 235, "em235" }, { 335, "pm335" },
        };
        private static readonly Dictionary<string, string> ReadsAs = new Dictionary<string, string>(StringComparer.OrdinalIgnoreCase)
        {
            { "em133", "em133" }, { "em235", "em235" }, { "pm335", "em235" },
        };
        private const string Names = "em133, em235 or pm335";
        // The identification block sits at the same registers on every model; the
        // setup part of the document is right only for the model it was read as.
        private const string Probe = "em235";
        private static readonly Regex ModelId = new Regex("\"model_id\":(\\d+)", RegexOptions.CultureInvariant);

        private readonly object gate = new object();
        private readonly string where;
        private string settled;

        internal ModelChoice(string given, bool force, string where)
        {
            if (force && given == null) throw new ArgumentException("forceModel needs a model.", "forceModel");
            Given = given;
            Force = force;
            settled = force ? given : null;
            this.where = where;
        }

        internal string Given { get; private set; }

        internal bool Force { get; private set; }

        // The model once settled, else null.
        internal string Settled
        {
            get { lock (gate) return settled; }
        }

        // The model to read the meter at `where` as, from the one given (null: none)
        // and the model id its identity reports.
        internal static string Choose(string given, long modelId, string where)
        {
            string reported;
            ModelIds.TryGetValue(modelId, out reported);
            string what = "the meter at " + where + " reports model id " + modelId.ToString(CultureInfo.InvariantCulture);
            if (given == null)
            {
                if (reported == null) throw new TandrelException(what + ", which is none of " + Names);
                return reported;
            }
            if (reported == null || !Alike(given, reported))
                throw new TandrelException(what + " (" + (reported ?? "none of " + Names) + "), not " + given);
            return given;
        }

        // The model, settled once by the first call: other threads wait for it
        // rather than read the identity again. `info` is the device information
        // when settling read it as the model chosen, else null.
        internal string Settle(Func<string, string> readInfo, out string info)
        {
            info = null;
            lock (gate)
            {
                if (settled != null) return settled;
                string probe = Given ?? Probe;
                string read = readInfo(probe);
                Match id = ModelId.Match(read);
                long modelId = id.Success ? long.Parse(id.Groups[1].Value, CultureInfo.InvariantCulture) : -1;
                settled = Choose(Given, modelId, where);
                if (Alike(probe, settled)) info = read;
                return settled;
            }
        }

        private static bool Alike(string a, string b)
        {
            string first, second;
            return ReadsAs.TryGetValue(a, out first) && ReadsAs.TryGetValue(b, out second) && first == second;
        }
    }
}
