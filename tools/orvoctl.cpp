// orvoctl: drive a simulator (or the virtual one) from the command line.
//
//   orvoctl [--port N] [--path-format FMT] [--lock-dir DIR] COMMAND [ARGS]
//
//   version                          library version
//   info                             identity and hardware information
//   play FUNCTION SECONDS [AMPLITUDE_MV] [FREQUENCY_HZ]
//                                    stream an output function for a while
//   standalone FUNCTION              upload one period of function 1..8 and
//                                    start standalone playback
//   stop                             stop standalone playback
//   dump-table 227|251 INDEX FILE    write a standard waveform as a text file
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "orvo.h"

namespace {

struct Options {
    int port = -1;
    std::string pathFormat;
    std::string lockDir;
    std::vector<std::string> words;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: orvoctl [--port N] [--path-format FMT] [--lock-dir DIR] COMMAND [ARGS]\n"
                 "commands: version | info | play FUNCTION SECONDS [AMPLITUDE_MV] [FREQUENCY_HZ]\n"
                 "          | standalone FUNCTION | stop | dump-table 227|251 INDEX FILE\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue)
            options.port = std::atoi(argv[++i]);
        else if (arg == "--path-format" && hasValue)
            options.pathFormat = argv[++i];
        else if (arg == "--lock-dir" && hasValue)
            options.lockDir = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return false;
        else
            options.words.push_back(arg);
    }
    return !options.words.empty();
}

bool Connect(const Options& options)
{
    if (!options.pathFormat.empty())
        ORVOSetDevicePathFormat(options.pathFormat.c_str());
    if (!options.lockDir.empty())
        ORVOSetLockDirectory(options.lockDir.c_str());
    const bool connected = options.port >= 0 ? ORVOConnect(options.port, 5000) : ORVOConnect(-1, 10000);
    if (!connected)
        std::fprintf(stderr, "orvoctl: no simulator found\n");
    return connected;
}

int Info()
{
    MODEL_INFORMATION model;
    HW_INFORMATION hardware;
    if (!ORVOGetDeviceInformation(&model) || !ORVOGetHWInformation(&hardware))
        return 1;
    std::printf("serial number  %s\nmodel          %c%c\nhardware       %u %u %u %u %u\n", ORVOGetSerialNumber(),
                model.ModelCode[0], model.ModelCode[1], hardware.HwInfo0, hardware.HwInfo1, hardware.HwInfo2,
                hardware.HwInfo3, hardware.HwInfo4);
    return 0;
}

int Play(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        return Usage();
    const int function = std::atoi(words[1].c_str());
    const double seconds = std::atof(words[2].c_str());
    if (words.size() > 3 && ORVOSetAmplitude(std::atof(words[3].c_str())) != 0)
        std::fprintf(stderr, "orvoctl: amplitude refused\n");
    if (words.size() > 4 && ORVOSetFrequency(std::atof(words[4].c_str())) != 0)
        std::fprintf(stderr, "orvoctl: frequency refused\n");
    if (ORVOSetOutputFunction(function) != 0)
        return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
    ORVOSetOutputFunction(FUNC_OFF);
    return 0;
}

int DumpTable(const std::vector<std::string>& words)
{
    if (words.size() < 4)
        return Usage();
    const int index = std::atoi(words[2].c_str());
    int count = 0;
    int rate = 0;
    const int* data = words[1] == "227" ? GetSpecialWave227Array(index, &count, &rate)
                                        : GetSpecialWave251Array(index, &count, &rate);
    if (data == nullptr) {
        std::fprintf(stderr, "orvoctl: no such waveform\n");
        return 1;
    }
    std::wstring path(words[3].begin(), words[3].end());
    const std::string label = "IEC" + words[1] + "_" + words[2];
    return DumpStandardWaveform(const_cast<int*>(data), count, rate, label.c_str(), path.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
        return Usage();
    const std::string& command = options.words[0];
    if (command == "version") {
        const int v = ORVOGetVersion();
        std::printf("%d.%d.%d.%d\n", (v >> 24) & 0xFF, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        return 0;
    }
    if (command == "dump-table")
        return DumpTable(options.words);
    if (command != "info" && command != "play" && command != "standalone" && command != "stop")
        return Usage();
    if (!Connect(options))
        return 1;
    int result = 0;
    if (command == "info")
        result = Info();
    else if (command == "play")
        result = Play(options.words);
    else if (command == "standalone")
        result = options.words.size() > 1 && ORVOOutputSignal(std::atoi(options.words[1].c_str())) == 0 ? 0 : 1;
    else
        result = ORVOOutputSignal(FUNC_OFF) == 0 ? 0 : 1;
    ORVOFree();
    return result;
}
