#pragma once
// The one error of the JPEG codec. Every refusal of the codec (a format violation, a premature
// end of data, a marker in the wrong place, a parameter out of range, a line too many) throws
// MiniJpeg::Error, whose message is always "Jpeg error". Nothing is stored globally, so decoders
// and encoders on different threads never share error state.

#include <exception>

namespace MiniJpeg {

class Error : public std::exception {
  public:
    const char* what() const noexcept override { return "Jpeg error"; }
};

// The single funnel through which the codec refuses. Never returns.
[[noreturn]] void fail();

// Refuses unless the condition holds; for run-time checks of untrusted fields.
inline void require(bool condition) {
    if (!condition)
        fail();
}

}  // namespace MiniJpeg
