// One INI lookup as the shell makes it, next to its floor: reading the same file whole with
// fopen + fread + fclose. Both run in the same program, so their ratio is what counts.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench_compare.h"
#include "config/IniFile.h"
#include "config/Service.h"
#include "platform/Dialogs.h"

namespace {

// A Program.ini as a line with five machines has it (about 2 KB).
std::string programIniContent() {
    std::string content =
        "; Line configuration\r\n[Project]\r\nWithLineDisplay=True\r\nResolution=1024\r\n"
        "VWStudio=True\r\nNumberOfMachines=5\r\nLineName=Packaging line 3\r\n\r\n";
    for (int machine = 1; machine <= 5; ++machine) {
        std::string number = std::to_string(machine);
        content += "[Machine" + number + "]\r\nMachineName=Cartoner " + number + "\r\n" +
                   "HotMeltTankNumberOfTanks=3\r\nOCRNumberOfModules=1\r\n"
                   "StampInspectionSystems=2\r\nStampInspectionBoxerSystems=1\r\n"
                   "TarvoSystems=1\r\nLEDwithDirtyFilter=0\r\nTopFoldSystems=1\r\n"
                   "ClosureStampInspectionSystems=1\r\nSerialNumber=KX-2024-00" +
                   number + "\r\n\r\n";
    }
    return content;
}

// The file lives in a folder of its own for the whole run.
class ProgramIni {
public:
    ProgramIni() {
        char folderTemplate[] = "/tmp/kestrix-bench-XXXXXX";
        folder_ = mkdtemp(folderTemplate);
        path_ = folder_ + "/Program.ini";
        std::ofstream(path_, std::ios::binary) << programIniContent();
    }
    ~ProgramIni() {
        std::remove(path_.c_str());
        rmdir(folder_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

const ProgramIni& programIni() {
    static const ProgramIni file;
    return file;
}

class NoDialogs final : public kestrix::Dialogs {
public:
    int MsgBox(const QString&, int, const QString&) override { return kestrix::MsgBoxResult::Ok; }
};

// The floor: the file read whole, to its end, with the C library.
void BM_FileReadFloor(benchmark::State& state) {
    const std::string& path = programIni().path();
    char buffer[8192];
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "rb");
        std::size_t total = 0;
        while (std::size_t count = std::fread(buffer, 1, sizeof buffer, file)) {
            total += count;
        }
        std::fclose(file);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_FileReadFloor)->Repetitions(9)->ReportAggregatesOnly(true);

// The last key of the last section, so the whole file is searched.
void BM_IniLookup(benchmark::State& state) {
    const std::string& path = programIni().path();
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrix::readIniValue(path, "Machine5", "SerialNumber"));
    }
}
BENCHMARK(BM_IniLookup)->Repetitions(9)->ReportAggregatesOnly(true);

// The same lookup through the reader the start procedures call, with its text conversions.
void BM_LoadIniInteger(benchmark::State& state) {
    NoDialogs dialogs;
    kestrix::Service service(dialogs);
    QString path = QString::fromStdString(programIni().path());
    QString section = QStringLiteral("Machine5");
    QString key = QStringLiteral("ClosureStampInspectionSystems");
    for (auto _ : state) {
        benchmark::DoNotOptimize(service.LoadIniInteger(section, key, path, false));
    }
}
BENCHMARK(BM_LoadIniInteger)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    return kestrix::bench::runAndCompare(
        argc, argv, {{"BM_IniLookup", "BM_FileReadFloor", kestrix::bench::Comparison::Ratio, 1.3}});
}
