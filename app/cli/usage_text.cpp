#include "cli/resize_run.h"

#include "imageio/output_formats.h"

#include <QStringList>

// The help texts of `resize` and `batch`. The formats they name come from the table of written
// formats.

namespace orm::cli {

namespace {

// "keep|jpg|tif|bmp|png|gif|webp".
QString FormatChoicesText() {
    QString text = QStringLiteral("keep");
    for (const OutputFormat& f : OutputFormatTable())
        text += QLatin1Char('|') + QLatin1String(f.shortName);
    return text;
}

// Every extension written, ".jpg .jpeg .jpe .tif ...".
QString WrittenExtensionsText() {
    QStringList all;
    for (const OutputFormat& f : OutputFormatTable()) all << QString::fromLatin1(f.extensions);
    return all.join(QLatin1Char(' '));
}

// "TIFF, PNG and WebP".
QString AlphaFormatsText() {
    QStringList names;
    for (const OutputFormat& f : OutputFormatTable())
        if (f.keepsAlpha)
            names << QString::fromLatin1(f.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString SizeHelp() {
    return QStringLiteral(
        "Size (one way):\n"
        "  --width N, --height N     target box in pixels (3 .. 100000); one of them alone lets "
        "the\n"
        "                            other side follow each source's aspect\n"
        "  --size WxH                target box in pixels; repeat it for several outputs of "
        "each\n"
        "                            FILE, told apart by the size suffix (--new-name is then "
        "on)\n"
        "  --long-edge N             the longer side becomes N pixels, the other follows the\n"
        "                            aspect, whatever the orientation; repeatable, and it "
        "mixes\n"
        "                            with --size\n"
        "  --percent P | PxQ         percent of each source's size (rounded half up)\n"
        "  --print WxH               print size in --units (default in) at the resolution\n"
        "  --units in|mm|cm|picas|pt unit of --print\n"
        "  --paper \"LABEL\"           a paper size, e.g. \"A4 (210x297 mm)\" (see "
        "'ormensura-cli presets')\n"
        "  --screen \"LABEL\"          a screen size, e.g. \"HD (1920x1080)\"\n"
        "  --settings NAME           saved settings (size, resolution, correction, algorithm); "
        "the\n"
        "                            options above and below override them\n"
        "Resize:\n"
        "  --dpi R                   output resolution (default: each source's own)\n"
        "  --correction keep|crop|none  keep (default): fit the box at the source's aspect;\n"
        "                            crop: fill the box and cut the centre; none: stretch\n"
        "  --algorithm N|NAME        0 Nearest Neighbor, 1 Bilinear, 2 High Quality Bilinear,\n"
        "                            3 Bicubic, 4 High Quality Bicubic (default),\n"
        "                            5 Smart for Artificial Scenes, 6 Smart for Natural "
        "Scenes,\n"
        "                            7 Advanced for Natural Scenes\n"
        "  --centred                 algorithms 5-7 sample on pixel centres, with every "
        "stage's\n"
        "                            weights normalised (the sharper enlargements; default: the\n"
        "                            documented grid)\n"
        "  --no-enlarge              a FILE smaller than its new size on both sides (none "
        "smaller,\n"
        "                            one larger) keeps its size: it is copied as it is when "
        "the\n"
        "                            output keeps its type, otherwise written at its own size\n");
}

QString InputHelp() {
    return QStringLiteral(
        "Inputs:\n"
        "  -r, --recursive           a FOLDER stands for the images in it and its subfolders\n"
        "                            (by extension; hidden names and links to folders left\n"
        "                            out); the outputs keep the tree below the output folder,\n"
        "                            whose subfolders are made as needed\n"
        "  --files-from LIST         more inputs, one path a line, read from the file LIST\n"
        "                            (- for standard input); relative paths are taken from\n"
        "                            the current folder\n"
        "  -0, --null                the paths of --files-from end with NUL bytes (find "
        "-print0)\n"
        "  --shard K/N               only the inputs whose position in the sorted list of "
        "all\n"
        "                            inputs (each path once) is K modulo N: N runs with K = "
        "1..N\n"
        "                            cover every input exactly once, on one machine or many\n");
}

QString ColourHelp() {
    return QStringLiteral(
        "Colour and metadata (each off by default):\n"
        "  --strip none|location|all what of the input's metadata the output keeps: none\n"
        "                            (default) keeps everything; location removes the GPS\n"
        "                            tags, the location fields of the XMP packet and the\n"
        "                            camera's and lens's serial numbers; all keeps only the\n"
        "                            colour profile, the orientation (1), the resolution,\n"
        "                            copyright and artist (and no thumbnail)\n"
        "  --to-srgb                 convert the colours from the input's profile to sRGB\n"
        "                            (perceptual, black-point compensation) and embed the sRGB\n"
        "                            profile (none with --strip all); inputs without a profile\n"
        "                            are taken as sRGB\n"
        "  --linear                  algorithms 0-4 resize in linear light, so fine bright\n"
        "                            detail keeps its brightness when reduced; algorithms 5-7\n"
        "                            are defined on the gamma-encoded samples and keep them\n"
        "  --background COLOR        transparent inputs written to a type without alpha are\n"
        "                            laid over COLOR (#rrggbb or a name such as black) instead\n"
        "                            of white\n"
        "  --keep-time               each output gets its input's modification time (also when\n"
        "                            it replaces the input)\n");
}

QString OutputHelp() {
    return QStringLiteral(
               "Output:\n"
               "  -o PATH                   a file when there is one FILE and one size and PATH is "
               "not a\n"
               "                            folder, otherwise the output folder (it must exist)\n"
               "  --same-folder             write each output beside its input\n"
               "                            (without -o and --same-folder: the batch output folder "
               "of "
               "the\n"
               "                            program's settings, else ~/Pictures/Resized_Images/)\n"
               "  --new-name                append _RESIZED_TO_<W>x<H> to the name\n"
               "  --format %1  output type (default keep: the input's\n"
               "                            extension; %2\n"
               "                            are written; %3 keep transparency, the\n"
               "                            others show it over white)\n"
               "  --quality N               JPEG and WebP quality 1..100 (default 75; WebP 100 is\n"
               "                            lossless)\n"
               "  --max-bytes SIZE          each JPEG or WebP output at the highest quality whose "
               "file\n"
               "                            is at most SIZE bytes (500000, 500k, 2M; k = 1024,\n"
               "                            M = 1024k), found in at most 8 encodes; with "
               "--quality, "
               "at\n"
               "                            most that quality. A file too large even at quality 1 "
               "is\n"
               "                            not written (exit status 1); outputs of other types "
               "are\n"
               "                            written without the limit, with a warning\n"
               "  --overwrite skip|overwrite|unique  when the output exists (default overwrite; "
               "the "
               "old\n"
               "                            file is replaced only by a complete new one; unique "
               "adds "
               "_N)\n"
               "  --exists skip|overwrite|unique  the same as --overwrite; every output appears "
               "complete\n"
               "                            or not at all, so a rerun with skip after a killed "
               "run\n"
               "                            writes only what is missing\n"
               "  --log-json FILE           one JSON line per input as it finishes (- for "
               "standard\n"
               "                            output, which then shows nothing else): input, status\n"
               "                            (written, skipped, failed, damaged), outputs (path, "
               "width,\n"
               "                            height, bytes) and reason\n"
               "  --dry-run                 write nothing; print per FILE: input, output, WxH, dpi "
               "and\n"
               "                            algorithm (or input, skip, existing file), "
               "tab-separated;\n"
               "                            in paths \\ \\t \\n \\r stand for backslash, tab, "
               "newline "
               "and\n"
               "                            carriage return, \\xhh for other control bytes and "
               "bytes\n"
               "                            that are not UTF-8\n"
               "  --quiet, -q               show only errors and warnings\n"
               "  --timings                 print decode, resize and encode times of each file\n"
               "  --accept-damaged          a cut-off input (resized with its missing part grey) "
               "does\n"
               "                            not make the exit status 1\n"
               "  --fast-decode             let the JPEG decoder shrink each input to 1/2, 1/4 or "
               "1/8\n"
               "                            while decoding, never below the output size in either\n"
               "                            direction, before the algorithm runs: strong "
               "reductions\n"
               "                            take a fraction of the time, but the algorithm starts\n"
               "                            from the decoder's shrunk pixels and reduces them by\n"
               "                            less than 2x, so the output is a little softer than\n"
               "                            the full decode's (off by default)\n"
               "  --                        the end of the options: what follows are files, even\n"
               "                            names that start with -\n")
               .arg(FormatChoicesText(), WrittenExtensionsText(), AlphaFormatsText()) +
           ColourHelp();
}

}  // namespace

QString ResizeUsage() {
    return QStringLiteral(
               "Usage: ormensura-cli resize FILE|FOLDER... SIZE [OPTIONS]\n"
               "\n"
               "Resizes each FILE like a batch run whose entries all got the same "
               "settings.\n"
               "\n") +
           SizeHelp() + InputHelp() + OutputHelp() +
           QStringLiteral(
               "\n"
               "Shows the log of the run and, on a terminal, the progress of algorithms 5-7. "
               "Ctrl+C\n"
               "cancels (the file in progress is not written); a second Ctrl+C ends at once.\n"
               "Exit status: 0 every file written or skipped by rule, 1 an input failed or was\n"
               "damaged, 2 bad arguments, 3 the run stopped (missing output folder, failed resize "
               "or\n"
               "save, Ctrl+C).\n");
}

QString BatchUsage() {
    return QStringLiteral(
               "Usage: ormensura-cli batch FILE.mnb|NAME [OUTPUT OPTIONS]\n"
               "\n"
               "Runs a saved batch: each entry with its own size, resolution, algorithm and "
               "correction.\n"
               "NAME is a batch saved by the program (its Batches folder); entries whose file is "
               "gone "
               "are\n"
               "left out.\n"
               "\n"
               "Output options (as for 'resize'):\n"
               "  -o FOLDER, --same-folder, --new-name, --format %1, "
               "--quality "
               "N,\n"
               "  --max-bytes SIZE, --no-enlarge, --overwrite (or --exists) "
               "skip|overwrite|unique,\n"
               "  --log-json FILE, --dry-run, --quiet,\n"
               "  --timings, --accept-damaged, --fast-decode, --strip none|location|all,\n"
               "  --to-srgb, --linear, --background COLOR, --keep-time, --\n"
               "\n"
               "Exit status: 0 every file written or skipped by rule, 1 an input failed or was "
               "damaged\n"
               "(or the batch file is not one), 2 bad arguments or no such batch, 3 the run "
               "stopped.\n")
        .arg(FormatChoicesText());
}

}  // namespace orm::cli
