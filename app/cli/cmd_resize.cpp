// ormensura-cli resize FILE... [options]: resizes files like a batch run whose entries all got the
// same settings. The options and the run live in resize_options.* and resize_run.*.

#include "cli/cli_command.h"
#include "cli/resize_run.h"

namespace orm::cli {
namespace {

int RunResize(const QStringList& args, CliStreams& io) {
    return RunResizeArgs(args, io);
}

}  // namespace

CliCommand ResizeCommand() {
    return {"resize", "resize images with one of the eight algorithms", RunResize};
}

}  // namespace orm::cli
