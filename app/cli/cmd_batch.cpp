// ormensura-cli batch FILE.mnb|NAME [output options]: runs a saved batch list.

#include "cli/cli_command.h"
#include "cli/resize_run.h"

namespace orm::cli {

CliCommand BatchCommand() {
    return {"batch", "run a saved batch list (.mnb) with each entry's own settings", RunBatchArgs};
}

}  // namespace orm::cli
