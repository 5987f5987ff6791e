// The plug-in as a shared library. In the host's framework, attaching the
// library registers it as an extension module and detaching ends that; our
// host has no such framework and the library starts no threads and touches
// no files, so loading and unloading need no work here. The exported names
// are listed in exports.map; everything else stays hidden.
