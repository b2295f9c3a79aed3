// The document framework: the registry of open documents (TOLEDocumentsWex,
// the application's gDocuments a TDocuments) with the document description
// (default name, extension, file header, settings, page and document
// classes), and the document (TOLEDocumentWex / TDocument): pages, views,
// picture store, file name, modified flag and its own undo history.
//
// Saving never loses data: the new file is written completely beside the
// old one and flushed before the old one becomes the ".bak" copy and the new
// one takes its name; any failure leaves the previous file (or its ".bak")
// and the document's name and modified flag as they were. Reading builds the
// new pages apart and takes them only when the whole file was read.
#pragma once

#include "model/draw_progress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/lists.h"
#include "model/document_file.h"
#include "model/document_views.h"
#include "model/page.h"
#include "store/history.h"
#include "store/picture_store.h"

class TMemIniFile;
class TStream;
class TDrawProgressPanel;
class TOLEDocumentsWex;
class TOLEDocumentWex;

// Caption of the document framework's message boxes.
extern const char* const ApplicationTitle;

// Classes as values: the registry makes pages and documents through these.
using TPageClass = std::unique_ptr<TOLECustomPage> (*)(THistoryCommand* AHistory);
using TDocumentClass = std::unique_ptr<TOLEDocumentWex> (*)(THistoryCommand* AHistory,
                                                            TOLEDocumentsWex* ARegistry);

// The file name without folder and extension, followed by "(変更)" when
// Modified: the caption of a document's windows.
std::string DocumentCaption(const std::string& FileName, bool Modified);
// Name with its extension (from the last "." of the last component)
// replaced by Ext ("" removes it).
std::string ChangeFileExt(const std::string& Name, const std::string& Ext);
// The folder part including the final "/"; "" for a name without folder.
std::string ExtractFilePath(const std::string& Name);
std::string ExtractFileName(const std::string& Name);
// How open documents are matched by name: a name with a folder becomes its
// absolute canonical path (links resolved where they exist); a name
// without folder (an untitled document) stays as it is.
std::string CanonicalFileName(const std::string& Name);

class TOLEDocumentsWex {
public:
    TOLEDocumentsWex(const std::string& ADefaultName, const std::string& AExtension,
                     TMemIniFile* AIniFile, const std::string& ASection, const std::string& AKey,
                     const TDocumentFileHeader& AHeader);
    // Frees the documents still open.
    virtual ~TOLEDocumentsWex();

    TOLEDocumentsWex(const TOLEDocumentsWex&) = delete;
    TOLEDocumentsWex& operator=(const TOLEDocumentsWex&) = delete;

    // Refused while documents are open.
    void SetPageClass(TPageClass C);
    void SetDocumentClass(TDocumentClass C);
    TPageClass PageClass() const { return FPageClass; }
    TDocumentClass DocumentClass() const { return FDocumentClass; }

    // The drawing-progress panel of the main window (not owned; nil: none).
    // The main window's progress panel; pages report their drawing there too.
    void SetStatusPanel(TDrawProgressPanel* Panel)
    {
        FStatusPanel = Panel;
        SetProgressStatusPanel(Panel);
    }
    TDrawProgressPanel* StatusPanel() const { return FStatusPanel; }

    // The first open document whose file name is Name (CanonicalFileName on
    // both sides); nil when none.
    TOLEDocumentWex* FindByFileName(const std::string& Name) const;
    // Each document's CanClose in list order; False at the first refusal.
    bool CanCloseAll();
    // Appends; the registry owns the document from now on.
    TOLEDocumentWex* AddDocument(std::unique_ptr<TOLEDocumentWex> Doc);
    // A new untitled document (default name + the smallest free number) of
    // one Width x Height page, unmodified.
    virtual TOLEDocumentWex* NewDocument(int32_t Width, int32_t Height);
    // Takes Doc out of the list and frees it.
    void FreeDocument(TOLEDocumentWex* Doc);
    bool Owns(const TOLEDocumentWex* Doc) const;

    int32_t GetCount() const { return static_cast<int32_t>(FlstDocument.size()); }
    // EListError outside 0..Count-1.
    TOLEDocumentWex* GetDocument(int32_t Index) const;
    // Default name followed by the smallest n >= 1 that no open document's
    // file name without extension equals.
    std::string NextDefaultName() const;

    const std::string& DefaultName() const { return FDefaultName; }
    const std::string& Extension() const { return FExtension; }
    TMemIniFile* IniFile() const { return FIniFile; }
    const std::string& Section() const { return FSection; }
    const std::string& Key() const { return FKey; }
    const TDocumentFileHeader& Header() const { return FHeader; }
    // True when the file starts with the documents' signature, whatever
    // its name: such a file is opened as a document, not as a picture.
    bool IsDocumentFile(const std::string& FileName) const;

    // The main window's recent-file list and save dialog (not owned; nil:
    // nothing is added to a recent list and Save As cannot run).
    static void SetDocumentHistoryMenuAndSaveDialog(THistoryMenuLink* List, TSaveDialogLink* Dialog);
    static THistoryMenuLink* DocumentHistoryMenu();
    static TSaveDialogLink* DocumentSaveDialog();

private:
    std::string FDefaultName;
    std::string FExtension;
    TMemIniFile* FIniFile;  // not owned
    std::string FSection;
    std::string FKey;
    TDocumentFileHeader FHeader;
    TPageClass FPageClass;
    TDocumentClass FDocumentClass;
    TDrawProgressPanel* FStatusPanel = nullptr;
    std::vector<std::unique_ptr<TOLEDocumentWex>> FlstDocument;
};

class TOLEDocumentWex : public TUndoObject, public TPageDocumentLink {
public:
    // AHistory must be nil: the document makes and owns its history.
    // ARegistry (may be nil) gives the file description; default header,
    // page class TPage and extension "srn" without one.
    TOLEDocumentWex(THistoryCommand* AHistory, TOLEDocumentsWex* ARegistry);
    // Frees the pages, detaches and releases the views still listed, frees
    // the picture store, and the history last.
    ~TOLEDocumentWex() override;

    std::string ClassName() const override { return "TOLEDocumentWex"; }

    // Documents record nothing of their own.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // The document file (document_file.h). Save writes from the stream's
    // position; Load replaces pages and picture store only when the whole
    // file was read, and clears the modified flag.
    virtual void SaveToStream(TStream& Stream);
    virtual void LoadFromStream(TStream& Stream);

    // TDocumentLink / TPageDocumentLink
    // Stores and updates the captions when the value changes; fires
    // OnChange in every case.
    void SetModified(bool Value) override;
    TListRecPict* GetPictureStore() override { return FPictures.get(); }
    void AddForm(TOLEFormDoc* View) override;
    // Frees the document (through its registry) when the last view goes.
    void RemoveForm(TOLEFormDoc* View) override;

    TOLECustomPage* GetPage(int32_t Index) const;
    int32_t GetPageCount() const { return static_cast<int32_t>(FPages.size()); }
    // Appends a page; it joins this document.
    TOLECustomPage* AddPage(std::unique_ptr<TOLECustomPage> Page);
    // A copy of the view list.
    std::vector<TOLEFormDoc*> GetForms() const { return FViews; }

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Name);
    bool Modified() const { return FbModified != 0; }
    // Every view of every page: DocumentCaption, set only when it differs.
    void UpdateCaptions();
    // The question CanClose asks.
    std::string CloseQueryText() const;
    // True when unmodified; else Yes (save) / No (discard) / Cancel.
    bool CanClose();
    // With exactly one view, that view must be Form; then CanClose.
    bool CanCloseForm(TOLEFormDoc* Form);

    // Reads the file named FileName. Raises FileName + " を開けません。"
    // when it cannot be opened, and FileName + " を開けません。\n" and what
    // cannot be drawn (EUndrawableDocument) for a drawing holding an item
    // that cannot be drawn even brought into range.
    void Open();
    // Untitled, or named after a picture and never written: SaveAs; else
    // SaveToFile(FileName). True when written.
    bool Save();
    // Runs the save dialog; False when there is none or the user cancels.
    // A chosen file that exists (other than the document's own) is only
    // replaced when the user says so.
    bool SaveAs();
    // Writes the file (see the top of this header); file problems are
    // offered for Retry/Cancel, write errors propagate. True when written.
    bool SaveToFile(const std::string& Name);
    // For a document made from a picture file: Name with the registry's
    // extension, made unique against existing files and open documents. It
    // is only proposed: the first save asks where to write.
    void MakeUniqueFileName(const std::string& Name);

    // HistoryChanged of every view of every page.
    void RefreshViews();
    // Drops every stored picture that neither the extra references nor an
    // item of any page uses, nor a step of the history can bring back an
    // item using; those only the history holds are set aside (kept, not
    // written).
    void CollectPictures();

    // Picture handles (cast through intptr_t) kept although no item uses them.
    TListPtrWex& ExtraPictures() { return FExtraPictures; }
    TOLEDocumentsWex* Registry() const { return FRegistry; }
    THistoryCommand* History() const { return FHistory.get(); }
    const TDocumentFileHeader& FileHeader() const;

    std::function<void(TOLEDocumentWex*)> OnChange;

protected:
    // Writes the new file's content; saving calls it on the new file.
    virtual void WriteDocumentFile(TStream& File) { SaveToStream(File); }

private:
    std::unique_ptr<TOLECustomPage> MakePage();
    void LoadFile(TStream& Stream);
    void ReplacePages(std::vector<std::unique_ptr<TOLECustomPage>>& Pages);
    std::string LastFolder() const;
    void StoreLastFolder(const std::string& Folder) const;
    void AddToRecentFiles() const;
    // The extra references and the handles every page's items use.
    void UsedPictures(TListPtrWex& Used) const;
    void KeepPictures(const TListPtrWex& Used);
    static std::vector<int32_t> HandlesOf(const TListPtrWex& List);

    // Declared first: freed last, after everything registered in it.
    std::unique_ptr<THistoryCommand> FHistory;
    uint8_t FbModified = 0;
    uint8_t FbModifiedAtStart = 0; // FbModified when the open command started
    TOLEDocumentsWex* FRegistry;  // not owned
    std::vector<TOLEFormDoc*> FViews;  // not owned
    std::vector<std::unique_ptr<TOLECustomPage>> FPages;
    TListPtrWex FExtraPictures;
    std::string FFileName;
    bool FbNameProposed = false;  // FFileName was made up, never written
    std::unique_ptr<TListRecPict> FPictures;
    bool FbDestroying = false;
    int32_t FiKeepAlive = 0;  // > 0: losing the last view does not free
    // The pictures used when the last command ended, until the history has
    // closed it.
    std::unique_ptr<TListPtrWex> FUsedAtEnd;
};

class TDocument : public TOLEDocumentWex {
public:
    using TOLEDocumentWex::TOLEDocumentWex;
    std::string ClassName() const override { return "TDocument"; }
};

// The application's registry: new documents get a window, and their first
// page a second layer named "レイヤ１" that becomes current.
class TDocuments : public TOLEDocumentsWex {
public:
    using TOLEDocumentsWex::TOLEDocumentsWex;
    TOLEDocumentWex* NewDocument(int32_t Width, int32_t Height) override;
};

// The class values of the two page and document classes.
std::unique_ptr<TOLECustomPage> NewPageTPage(THistoryCommand* AHistory);
std::unique_ptr<TOLEDocumentWex> NewDocumentTOLEDocumentWex(THistoryCommand* AHistory,
                                                            TOLEDocumentsWex* ARegistry);
std::unique_ptr<TOLEDocumentWex> NewDocumentTDocument(THistoryCommand* AHistory,
                                                      TOLEDocumentsWex* ARegistry);

// The application's registry, made at start-up (before the main window)
// and freed at the end.
extern std::unique_ptr<TDocuments> gDocuments;
// Makes gDocuments: "画像", "srn", the settings Ini, section "4.0", key
// "DirData", the file header; page class TPage, document class TDocument.
void InitDocuments(TMemIniFile* Ini);
void FinalizeDocuments();
