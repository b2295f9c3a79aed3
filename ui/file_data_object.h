// File lists dropped from the desktop or a file manager (CF_HDROP).
#pragma once

#include "foundation/string_list.h"
#include "ui/data_object.h"

class TFileDataObject : public TDataObject {
public:
    explicit TFileDataObject(const TStringList& Files);
    static TFormatEtcList GetFormats(); // CF_HDROP

    TStringList& Files() { return FFiles; }

    // List := the names of Source's CF_HDROP block in block order; empty
    // when Source offers none.
    static void GetFileList(IDataObject* Source, TStringList& List);

protected:
    // The DROPFILES block of the names (flags 0x2042).
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    TStringList FFiles;
};
