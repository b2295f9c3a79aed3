#include "platform/drop_files.h"

#include <algorithm>
#include <cstring>

std::string DropFilesBytes(const std::vector<std::string>& Names)
{
    const DROPFILES Header{sizeof(DROPFILES), 0, 0, -1, 0};
    std::string Bytes(reinterpret_cast<const char*>(&Header), sizeof Header);
    for (const std::string& N : Names)
        Bytes.append(N.c_str(), N.size() + 1);
    Bytes.push_back('\0');
    return Bytes;
}

HGLOBAL DropFilesBlock(const std::vector<std::string>& Names, uint32_t Flags)
{
    const std::string Bytes = DropFilesBytes(Names);
    HGLOBAL H = GlobalAlloc(Flags, Bytes.size());
    void* Data = GlobalLock(H);
    if (!Data) {
        if (H)
            GlobalFree(H);
        return nullptr;
    }
    std::memcpy(Data, Bytes.data(), Bytes.size());
    GlobalUnlock(H);
    return H;
}

std::vector<std::string> DropFilesNames(const void* Block, size_t Size)
{
    std::vector<std::string> Names;
    DROPFILES Header{};
    if (!Block || Size < sizeof Header)
        return Names;
    std::memcpy(&Header, Block, sizeof Header);
    const auto* Data = static_cast<const char*>(Block);
    size_t At = Header.pFiles;
    while (Header.fWide == 0 && At < Size && Data[At] != 0) {
        const void* End = std::memchr(Data + At, 0, Size - At);
        if (!End)
            break;
        const size_t Length = static_cast<const char*>(End) - (Data + At);
        Names.emplace_back(Data + At, Length);
        At += Length + 1;
    }
    return Names;
}

uint32_t DragQueryFile(HGLOBAL Drop, uint32_t Index, char* Buffer, uint32_t Size)
{
    const void* Data = GlobalLock(Drop);
    const std::vector<std::string> Names = DropFilesNames(Data, Data ? GlobalSize(Drop) : 0);
    if (Data)
        GlobalUnlock(Drop);
    if (Index == 0xFFFFFFFFu)
        return static_cast<uint32_t>(Names.size());
    if (Index >= Names.size())
        return 0;
    const std::string& Name = Names[Index];
    if (!Buffer)
        return static_cast<uint32_t>(Name.size());
    if (Size == 0)
        return 0;
    const size_t N = std::min<size_t>(Name.size(), Size - 1);
    std::memcpy(Buffer, Name.data(), N);
    Buffer[N] = 0;
    return static_cast<uint32_t>(N);
}
