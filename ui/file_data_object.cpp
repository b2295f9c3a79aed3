#include "ui/file_data_object.h"

#include "platform/clipboard_formats.h"
#include "platform/drop_files.h"

TFileDataObject::TFileDataObject(const TStringList& Files) : TDataObject(GetFormats())
{
    for (int32_t I = 0; I < Files.Count(); ++I)
        FFiles.Add(Files.Strings(I));
}

TFormatEtcList TFileDataObject::GetFormats()
{
    return {MakeFormatEtc(CF_HDROP)};
}

HRESULT TFileDataObject::RenderData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    std::vector<std::string> Names;
    for (int32_t I = 0; I < FFiles.Count(); ++I)
        Names.push_back(FFiles.Strings(I));
    HGLOBAL H = DropFilesBlock(Names, GMEM_SHARE | GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!H)
        return STG_E_MEDIUMFULL;
    Medium.tymed = Format.tymed;
    Medium.hGlobal = H;
    return S_OK;
}

void TFileDataObject::GetFileList(IDataObject* Source, TStringList& List)
{
    List.Clear();
    STGMEDIUM Medium;
    if (!Source || Source->GetData(GetFormats().front(), Medium) != S_OK)
        return;
    const uint32_t Count = DragQueryFile(Medium.hGlobal, 0xFFFFFFFFu, nullptr, 0);
    for (uint32_t I = 0; I < Count; ++I) {
        // Paths here may be longer than the 260 characters of the platform
        // the list format comes from: each name is read at its own length.
        std::string Name(DragQueryFile(Medium.hGlobal, I, nullptr, 0), '\0');
        DragQueryFile(Medium.hGlobal, I, Name.data(), static_cast<uint32_t>(Name.size() + 1));
        List.Add(Name);
    }
    ReleaseStgMedium(Medium);
}
