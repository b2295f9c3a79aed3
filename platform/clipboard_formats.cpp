#include "platform/clipboard_formats.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

constexpr uint32_t FirstRegistered = 0xC000;

std::vector<std::string>& Names()
{
    static std::vector<std::string> List;
    return List;
}

bool SameName(const std::string& A, const std::string& B)
{
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](unsigned char X, unsigned char Y) {
               return std::tolower(X) == std::tolower(Y);
           });
}

} // namespace

uint16_t RegisterClipboardFormat(const std::string& Name)
{
    if (Name.empty())
        return 0;
    auto& List = Names();
    for (size_t I = 0; I < List.size(); ++I)
        if (SameName(List[I], Name))
            return static_cast<uint16_t>(FirstRegistered + I);
    if (FirstRegistered + List.size() > 0xFFFF)
        return 0;
    List.push_back(Name);
    return static_cast<uint16_t>(FirstRegistered + List.size() - 1);
}

std::string GetClipboardFormatName(uint16_t Format)
{
    const auto& List = Names();
    if (Format < FirstRegistered || Format - FirstRegistered >= List.size())
        return {};
    return List[Format - FirstRegistered];
}
