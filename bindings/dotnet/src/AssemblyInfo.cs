// The test program reaches the declarations the Meter does not use itself.
using System.Runtime.CompilerServices;

[assembly: InternalsVisibleTo("Tandrel.Tests")]
