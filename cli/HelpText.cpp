#include "cli/HelpText.h"

#include <string>

#ifndef VIREO_VERSION
#error "VIREO_VERSION must be defined by the build"
#endif

namespace vireo::cli {

namespace {

const char kOverview[] =
    "usage: vireo COMMAND [OPTIONS]\n"
    "Identifies, configures and updates ZigBee radio modules on a serial line, without a\n"
    "window.\n"
    "\n"
    "Commands:\n"
    "  ports     list the serial ports present\n"
    "  info      connect to the module and show its identity\n"
    "  flash     update the firmware of the module from an image file (*.ebl)\n"
    "  recover   reload the firmware of a module that is stuck in its bootloader\n"
    "  scan      list the nodes of the module's radio network\n"
    "  term      a raw terminal on the line (Ctrl-] leaves)\n"
    "  update    check the update server, or download its construct files\n"
    "  get       read one parameter of the module (or of a remote module)\n"
    "  set       write one parameter of the module (or of a remote module)\n"
    "  export    save every parameter of the module to a configuration file (*.zgb)\n"
    "  import    play a configuration file back into the module\n"
    "  report    write a support bundle (*.tar.gz) about this computer, its ports and a module\n"
    "\n"
    "  vireo --help          show this text\n"
    "  vireo --version       show the version\n"
    "  vireo COMMAND --help  show the options of a command\n"
    "  vireo --log FILE COMMAND ...\n"
    "                        also write every byte on the serial line, both ways, into FILE\n"
    "\n"
    "Ports are named COM<n>; see 'vireo ports' and README.md for how numbers map to devices.\n"
    "Every command that takes --port also takes --wait-port SECONDS (0 to 86400): it waits\n"
    "that long for the port to appear and the module to answer (term, recover: for the port\n"
    "to open), then runs.\n"
    "Exit codes: 0 success, 1 operation failed, 2 usage error, 3 port cannot be opened,\n"
    "4 module does not answer, 5 transfer failed, 6 verification failed, 7 update server\n"
    "unreachable or without index, 8 module refused a command, 10 no such port device,\n"
    "11 permission denied on the port, 12 port busy, 13 not a serial device, 130 interrupted.\n"
    "flash, info, set and import also work on several modules at once: --port COM3,COM4,...\n";

// The paragraph of the verbs that take several ports.
#define VIREO_SEVERAL_PORTS                                                                        \
    "\n"                                                                                           \
    "--port COMa,COMb,... works on every module at once, a thread per port: each port gets\n"      \
    "a progress line on standard error, its messages after its name, and standard output a\n"      \
    "table at the end (port, module, version, result, time). One failing module does not\n"        \
    "stop the others. The exit code is 0 when every port succeeded, else the code the\n"           \
    "failed ports share, else 1. --json prints one JSON object per port and line instead\n"        \
    "(the command's fields, exit_code, message, milliseconds). --remote does not go with\n"        \
    "several ports.\n"

const char kPorts[] = "usage: vireo ports [--json]\n"
                      "Lists the serial ports present, one a line: the COM name and the device.\n"
                      "\n"
                      "  --json   print a JSON array of {\"name\", \"device\"} objects\n";

const char kInfo[] =
    "usage: vireo info --port COMn[,COMn...] [--baud B] [--flow none|software|hardware] [--json]\n"
    "Connects to the module as the manager's Open button does, prints its product name,\n"
    "firmware version, EUI address, node name and whether it is a sleepy end device, and\n"
    "disconnects again (echo back on).\n"
    "\n"
    "  --port COMn   the module's port\n"
    "  --wait-port S wait up to S seconds for the port and the module to answer\n"
    "  --baud B      line rate (default 9600)\n"
    "  --flow F      flow control: none (default), software or hardware\n"
    "  --json        print one JSON object\n" VIREO_SEVERAL_PORTS;

const char kFlash[] =
    "usage: vireo flash --port COMn[,COMn...] [--baud 115200] [--flow none] [--force]\n"
    "                   [--expect-version V] [--json] FILE\n"
    "       vireo flash --port COMn [--baud 115200] [--force] --remote ADDR[,ADDR...] FILE\n"
    "       vireo flash --port COMn [--baud 115200] --remote ADDR[,ADDR...] --clone\n"
    "Updates the firmware of the module on the port from the image FILE (*.ebl), as the\n"
    "manager's Update button does, then identifies the module again and prints the old and\n"
    "the new firmware version. The line must run at 115200 baud without flow control.\n"
    "\n"
    "  --port COMn          the module's port\n"
    "  --wait-port S        wait up to S seconds for the port and the module to answer\n"
    "  --baud B             line rate (default and only rate that works: 115200)\n"
    "  --flow F             flow control (only none works)\n"
    "  --force              flash even when the image names another model than the module's\n"
    "  --expect-version V   succeed only when the module reports version V afterwards\n"
    "  --remote ADDR,...    update these modules of the radio network (IEEE addresses, see\n"
    "                       'vireo scan') through the module on the port, one after another\n"
    "  --clone              with --remote: copy the local module's firmware instead of a file\n"
    "  --json               print one JSON object per port (old_firmware_version,\n"
    "                       new_firmware_version, ...)\n"
    "\n"
    "With --remote every device must be of the image's model (of the local module's for\n"
    "--clone) before any is touched; each device then gets its progress and a line that says\n"
    "how it ended, and the last line names the devices that failed. The exit code is 0 only\n"
    "when every device was updated, 5 when any failed.\n"
    "\n"
    "Ctrl-C stops the transfer (the module is told to cancel); it then stays in its\n"
    "bootloader: reload it with 'vireo recover'.\n" VIREO_SEVERAL_PORTS;

const char kRecover[] =
    "usage: vireo recover --port COMn [--baud B] FILE\n"
    "Reloads the firmware of a module whose firmware is damaged and that waits in its\n"
    "bootloader: its prompt is asked for, the upload chosen and the image FILE (*.ebl) sent.\n"
    "Neither the line rate nor the model is checked.\n"
    "\n"
    "  --port COMn   the module's port\n"
    "  --wait-port S wait up to S seconds for the port to open\n"
    "  --baud B      line rate (default 115200, the rate of the bootloader)\n";

const char kScan[] =
    "usage: vireo scan --port COMn [--baud B] [--flow none|software|hardware] [--json]\n"
    "Connects to the module, asks it for the nodes of its radio network (\"at+ds\") and\n"
    "prints one line per node: number, type, IEEE address, version, model and node name,\n"
    "separated by tabs.\n"
    "\n"
    "  --port COMn   the module's port\n"
    "  --wait-port S wait up to S seconds for the port and the module to answer\n"
    "  --baud B      line rate (default 9600)\n"
    "  --flow F      flow control: none (default), software or hardware\n"
    "  --json        print a JSON array of node objects\n";

const char kTerm[] =
    "usage: vireo term --port COMn [--baud B] [--flow none|software|hardware] [--hex]\n"
    "A raw terminal on the line: what the module sends goes to standard output as it\n"
    "comes, and every key goes to the module as one byte (Enter sends a carriage return,\n"
    "Ctrl-C goes to the module too). Ctrl-] leaves. Input from a pipe or a file is sent\n"
    "as it is; when it ends, the tool waits until the module has been quiet for a second\n"
    "and exits.\n"
    "\n"
    "  --port COMn   the module's port\n"
    "  --wait-port S wait up to S seconds for the port to open\n"
    "  --baud B      line rate (default 9600)\n"
    "  --flow F      flow control: none (default), software or hardware\n"
    "  --hex         show received bytes as hexadecimal values, 16 to a line\n";

const char kUpdate[] =
    "usage: vireo update --check [--json] [--dir DIR]\n"
    "       vireo update --download [--dir DIR]\n"
    "Talks to the update server, as the manager's \"Web update\" does.\n"
    "\n"
    "  --check      fetch the Configs and Firmware indexes and list them: each construct\n"
    "               file with whether DIR already holds it, each firmware line\n"
    "  --json       with --check: print one JSON object\n"
    "  --download   download every construct file of the Configs index into DIR\n"
    "  --dir DIR    where the files go (default: the program directory)\n"
    "\n"
    "The server is VIREO_UPDATE_HOST (host[:port]) when set, else the built-in one;\n"
    "http_proxy and no_proxy are honoured. A file is replaced only once it arrived whole.\n";
const char kRemoteOptions[] =
    "  --port COMn     the module's port\n"
    "  --wait-port S   wait up to S seconds for the port and the module to answer\n"
    "  --remote ADDR   work on the remote module at ADDR (its EUI address,\n"
    "                  see 'vireo scan'), reached through the module\n"
    "  --baud B        line rate (default 9600)\n"
    "  --flow F        flow control: none (default), software or hardware\n";

const std::string kGet =
    std::string("usage: vireo get --port COMn [--remote ADDR] [--baud B] [--flow F] CMD\n"
                "Reads one parameter with its AT command (as the construct file names it, e.g.\n"
                "AT+PANID) and prints its value.\n\n") +
    kRemoteOptions;

const std::string kSet =
    std::string("usage: vireo set --port COMn[,COMn...] [--remote ADDR] [--baud B] [--flow F]\n"
                "                 [--json] CMD VALUE\n"
                "Writes one parameter: sends CMD=VALUE and succeeds when the module says OK.\n\n") +
    kRemoteOptions + "  --json          print one JSON object per port\n" VIREO_SEVERAL_PORTS;

const std::string kExport =
    std::string("usage: vireo export --port COMn [--remote ADDR] [--baud B] [--flow F] FILE\n"
                "Reads every writable parameter named in the module's construct file and saves\n"
                "the commands that set them to FILE (*.zgb), as the manager's Export does.\n"
                "Parameters that cannot be read are listed in ExportErrorLog.TXT in the\n"
                "current directory; the exit code is then 1.\n\n") +
    kRemoteOptions;

const std::string kImport =
    std::string("usage: vireo import --port COMn[,COMn...] [--remote ADDR] [--baud B] [--flow F]\n"
                "                    [--force] [--verify] [--json] FILE\n"
                "Plays the configuration file FILE (*.zgb) back into the module, one command per\n"
                "parameter, as the manager's Import does. Commands the module refuses are listed\n"
                "in ImportErrorLog.TXT in the current directory; the exit code is then 8.\n\n") +
    kRemoteOptions +
    "  --force         import a file made for another product or firmware version\n"
    "  --verify        read every parameter the module took back afterwards; those that\n"
    "                  differ are listed (and added to ImportErrorLog.TXT), exit code 6\n"
    "  --json          print one JSON object per port\n" VIREO_SEVERAL_PORTS
    "With several ports each port's refused commands go to ImportErrorLog-COMn.TXT.\n";

const char kReport[] =
    "usage: vireo report [--port COMn [--baud B] [--flow F]] FILE.tar.gz\n"
    "Writes a support bundle into FILE.tar.gz: report.txt with the program's version, the\n"
    "platform, every port present and whether it opens (or why not), and, with --port, the\n"
    "line settings and the module's identity; the module's construct file; the transcript of\n"
    "the report's talk with the module; and the last traffic transcript written with --log.\n"
    "Nothing else is read from the disk. The exit code is 0 when the bundle was written, also\n"
    "when the module did not answer (report.txt says why).\n"
    "\n"
    "  --port COMn   the module to ask who it is (optional)\n"
    "  --wait-port S wait up to S seconds for the port and the module to answer\n"
    "  --baud B      line rate (default 9600)\n"
    "  --flow F      flow control: none (default), software or hardware\n";

} // namespace

const char* HelpText(Verb verb) {
    switch (verb) {
    case Verb::None: return kOverview;
    case Verb::Ports: return kPorts;
    case Verb::Info: return kInfo;
    case Verb::Flash: return kFlash;
    case Verb::Recover: return kRecover;
    case Verb::Scan: return kScan;
    case Verb::Term: return kTerm;
    case Verb::Update: return kUpdate;
    case Verb::Get: return kGet.c_str();
    case Verb::Set: return kSet.c_str();
    case Verb::Export: return kExport.c_str();
    case Verb::Import: return kImport.c_str();
    case Verb::Report: return kReport;
    }
    return kOverview;
}

const char* VersionText() {
    return "vireo (Vireo Manager) " VIREO_VERSION;
}

} // namespace vireo::cli
