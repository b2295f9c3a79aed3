// The settings file: loaded, every section and key read, changed, written
// back and loaded again.
#include "foundation/ini_file.h"
#include "fuzz/fuzz_support.h"

#include <vector>

namespace {

void ReadAll(const TMemIniFile& F)
{
    std::vector<std::string> Sections, Keys;
    F.ReadSections(Sections);
    for (const std::string& Section : Sections) {
        F.ReadSection(Section, Keys);
        for (const std::string& Key : Keys) {
            F.ReadString(Section, Key, "");
            F.ReadInteger(Section, Key, -1);
        }
    }
}

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzEnvironment& Env = TFuzzEnvironment::Get();
    const std::string Path = Env.WriteInput("input.ini", Data, Size);
    TMemIniFile F(Path);
    ReadAll(F);
    std::vector<std::string> Sections;
    F.ReadSections(Sections);
    if (!Sections.empty()) {
        F.WriteString(Sections.front(), "Fuzz", "値");
        F.DeleteKey(Sections.back(), "Folder");
        F.EraseSection(Sections.back());
    }
    F.WriteInteger("新しい", "Count", -7);
    F.Rename(Env.Inputs() + "/output.ini");
    F.UpdateFile();
    TMemIniFile Again(Env.Inputs() + "/output.ini");
    ReadAll(Again);
    if (Again.ReadInteger("新しい", "Count", 0) != -7)
        FuzzFault("a key written to the settings file was lost");
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TFuzzEnvironment& Env = TFuzzEnvironment::Get();
    const std::string Path = Env.Inputs() + "/seed.ini";
    std::remove(Path.c_str());
    TMemIniFile F(Path);
    F.WriteString("SPI", "Folder", "/usr/lib/tavro/spi");
    F.WriteInteger("窓", "Left", -20);
    F.WriteInteger("窓", "Width", 0x7FFFFFFF);
    F.WriteBool("窓", "Maximized", true);
    F.WriteString("文字", "名前", "明朝 ｶﾅ");
    F.UpdateFile();
    std::string Bytes = FuzzReadFile(Path);
    Seeds.Add("written", Bytes);
    Seeds.Add("commented", "; comment\r\n\r\nstray line\r\n" + Bytes + "[Empty]\r\n");
    Seeds.Add("utf8-lf", "[セクション]\nキー=値\nHex=$1F\nHex2=0x10\n");
}

} // namespace

TAVRO_FUZZ_TARGET(ini_file)
