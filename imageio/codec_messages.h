#pragma once
// The codec libraries' own diagnostics go through Qt's message handler like every other
// message of the program, so a program decides what reaches its users (the command line shows
// none: it reports each failure with its file and reason). libtiff, loaded by Qt's TIFF reader,
// would otherwise print its warnings straight to standard error.

namespace orm {

// Installs the routing once per process; every image reader calls it before decoding.
void RouteCodecMessages();

}  // namespace orm
