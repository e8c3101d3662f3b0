// tavlin: the command-line tool. Works on pictures, sounds and projects
// without opening a window.

#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "mpeg/mpeg_source.h"
#include "media/media_registry.h"
#include "core/prompts.h"

namespace tavlin::cli {

int fail(const std::string& file, const std::string& what) {
    std::fprintf(stderr, "tavlin: %s: %s\n", file.c_str(), what.c_str());
    return 1;
}

}  // namespace tavlin::cli

namespace {

const char kUsage[] =
    "usage: tavlin COMMAND ...\n"
    "\n"
    "Pictures:\n"
    "  image info FILE                        width, height and transparency (0 or 1)\n"
    "  image convert IN OUT [--quality N]     write IN in the format OUT's name chooses\n"
    "  image scale IN OUT W H [--mode averaged|nearest|fit]\n"
    "\n"
    "Sounds:\n"
    "  audio convert IN OUT                   read IN, write OUT as Sun audio (.au)\n"
    "\n"
    "Videos:\n"
    "  video info FILE [--json]               width, height, frame count and rate\n"
    "  video frame FILE N OUT.png             frame N as a PNG picture\n"
    "  video index FILE.mpg [--force]         build (or rebuild) the index of an MPEG video; prints its path\n"
    "  video capture OUT.avi --seconds S [--rate R]\n"
    "                                         record from the configured capture input\n"
    "  framelist write VIDEO OUT.txt [--size W H] [--skip N] [--jpeg-quality Q]\n"
    "                 [--diff-quality Q] (--codes DIGITS | --key-every K)\n"
    "  framelist info LIST.txt [--json]       header and frame records\n"
    "  framelist frame LIST.txt N OUT.png     frame N of a frame list\n"
    "\n"
    "Projects:\n"
    "  project info FILE.tvl [--json]         stage, objects, events and frame codes\n"
    "  project normalize IN.tvl OUT.tvl       read and write back\n"
    "  project render FILE.tvl FRAME OUT.png [--edit]\n"
    "  project map FILE.tvl X Y [--frame F] [--object N]\n"
    "  project add FILE.tvl MEDIA [--at X Y] [--frame N] [-o OUT.tvl]\n"
    "                                         a picture, video or sound placed as the studio does\n"
    "                                         the frame a drag to (X, Y) sets, from frame F\n"
    "\n"
    "Publications:\n"
    "  content write PROJECT.tvl OUTDIR [--date YYYYMMDD]\n"
    "                                         recount the media, write OUTDIR/tavlin.txt\n"
    "  content read FILE OUT.tvl              a published content file back as a project\n"
    "  content dump FILE [--json]             every field of a content file\n"
    "  publish PROJECT.tvl OUTDIR [--steps all|frames,pictures,sounds,content,data,applet,thumb,page]\n"
    "          [--jpeg-quality Q] [--diff-quality Q] [--date YYYY-MM-DD] [--template DIR] [--zip] [--yes]\n"
    "                                         the whole publication into OUTDIR (made when missing);\n"
    "                                         files of an earlier one are deleted only with --yes\n"
    "  serve OUTDIR [--port N]                OUTDIR over HTTP on 127.0.0.1 (a free port unless given):\n"
    "                                         prints the page's address and serves until stopped\n"
    "\n"
    "Exit status 0 on success; 1 with one line on standard error on failure.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace tavlin;
    cli::Args args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 1 : 0;
    }
    registerImageFormats();
    registerVideoFormats(std::make_unique<MpegFormat>([] { return std::make_unique<cli::TerminalProgress>(); }));
    registerAudioFormats();

    std::string group = args[0];
    cli::Args rest(args.begin() + 1, args.end());
    if (group == "image") return cli::imageCommand(rest);
    if (group == "audio") return cli::audioCommand(rest);
    if (group == "project") return cli::projectCommand(rest);
    if (group == "content") return cli::contentCommand(rest);
    if (group == "video") return cli::videoCommand(rest);
    if (group == "framelist") return cli::framelistCommand(rest);
    if (group == "publish") return cli::publishCommand(rest);
    if (group == "serve") return cli::serveCommand(rest);
    std::fprintf(stderr, "tavlin: unknown command '%s' (see tavlin --help)\n", group.c_str());
    return 1;
}
