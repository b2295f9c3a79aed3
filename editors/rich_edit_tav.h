// The binding between the rich edit control and a text object. The text
// object is the master copy: every edit (typing, input-method commits,
// Delete, Backspace, cut, paste, drops, attribute changes) goes to the text
// object first, through its recorded operations (undo codes 39 to 47), and
// is then shown by the control. The control's positions (one per
// character, one per line break) and the text object's CP932 byte indexes
// are mapped into each other only by TControlTextMap.
//
// The edits that the binding starts itself (keys, the input method, drops)
// open their own command on the text object's history; the operations
// called from outside (InsertText, DeleteSelection, SelAttributes' setters,
// ...) record into the command their caller has opened (RunCommand opens
// one).
#pragma once

#include "editors/rich_edit_q.h"
#include "model/text_model.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QMimeData;
class QObject;

// The refusal of a text longer than a text object may take.
std::string PasteTooLongMessage();
// Text/html beyond this is refused before it is parsed: markup runs to many
// bytes a character, but not to this many for MaxTextObjectBytes of text.
inline constexpr qsizetype MaxPasteHtmlBytes = 64 * qsizetype{MaxTextObjectBytes};
class QTextCharFormat;
class TTextObj;
class TRichEditTav;

// The control's view of a CP932 text: every character is one position (one
// UTF-16 unit: all CP932 characters lie in the BMP), and so is every line
// break (CR LF, a lone CR or a lone LF).
class TControlTextMap {
public:
    // The position of the character that holds byte Byte (the character's
    // position for its trail byte and for the LF of CR LF); the number of
    // positions for Byte at or past the end.
    static int32_t PositionOfByte(const std::string& Cp932, int32_t Byte);
    // The first byte of the character at Position; the text's length for
    // Position at or past the end.
    static int32_t ByteOfPosition(const std::string& Cp932, int32_t Position);
    // The first byte and the byte length of the character holding Byte.
    static void CharAt(const std::string& Cp932, int32_t Byte, int32_t& Start, int32_t& Length);
    // The control's text: line breaks as '\n'; a malformed character as U+FFFD.
    static QString ControlText(const std::string& Cp932);
    // Cp932 := Text with every line break as CR LF. False when a character
    // of Text has no CP932 form (Cp932 is then empty).
    static bool Cp932Text(const QString& Text, std::string& Cp932);
    // Typing's rule for a character: the keys of control characters (Tab
    // among them) and DEL put nothing into a text; line breaks come as such.
    static bool Typable(QChar C);
    // Text without the characters typing does not put in.
    static QString TypableText(QString Text);
    // Target := Source without the characters typing does not put in (their
    // styles go with them). False, Target empty, when a character of Source
    // has no CP932 form that typing could give (a damaged text).
    static bool TypableRichText(const TRTFTav& Source, TRTFTav& Target);
};

// The selection's attributes as the text page shows and sets them.
class TTextAttributesTavro {
public:
    explicit TTextAttributesTavro(TRichEditTav& Owner);
    virtual ~TTextAttributesTavro() = default;

    virtual uint8_t GetCharset() const;
    virtual void SetCharset(uint8_t Value);
    // Face names are UTF-8 here.
    virtual std::string GetName() const;
    virtual void SetName(const std::string& Name);
    // Points.
    virtual double GetSize() const;
    virtual void SetSize(double Points);
    virtual bool GetBold() const;
    virtual void SetBold(bool Value);
    virtual bool GetItalic() const;
    virtual void SetItalic(bool Value);
    virtual double GetBase() const = 0;
    virtual void SetBase(double Points) = 0;
    virtual double GetSpacing() const = 0;
    virtual void SetSpacing(double Points) = 0;

protected:
    TRichEditTav& FOwner;
};

// The selection of the bound text and the insertion style: the attributes
// typed or pasted plain text gets.
class TTextAttributesTavroSel : public TTextAttributesTavro {
public:
    // The insertion style starts as the drawing defaults' character style.
    explicit TTextAttributesTavroSel(TRichEditTav& Owner);

    void SetCharset(uint8_t Value) override;
    void SetName(const std::string& Name) override;
    double GetSize() const override;
    // Size, base and spacing take points and store pixels at the screen
    // resolution; with a selection every styled character of it takes the
    // value (codes 45, 46, 47), then OnChange.
    void SetSize(double Points) override;
    void SetBold(bool Value) override;     // code 43
    void SetItalic(bool Value) override;   // code 44
    double GetBase() const override;
    void SetBase(double Points) override;
    double GetSpacing() const override;
    void SetSpacing(double Points) override;

    // Reloads the insertion style from the style at the selection (or the
    // defaults); with no selection the caret takes it, so that typing uses it.
    void Update();
    // The byte index whose style the selection shows; -1 when none.
    int32_t FindStyleIndex() const;
    // Bit 0: every styled character of the selection has one vertical
    // position; bit 1: one spacing (3 without a selection or styled character).
    int32_t ConsistentBaseSpacing() const;

    const TrecCharAttr& InsertionStyle() const { return FAttr; }
    void SetInsertionStyle(const TrecCharAttr& Attr) { FAttr = Attr; }

private:
    // The selection in bytes; False without a text object or a selection.
    bool Selection(int32_t& Start, int32_t& Length) const;
    // With a selection: Set(Start, Length) writes the attribute into every
    // styled character of it as one edit (Restyle: the control shows the
    // new look), and the change is told; without one, the attribute only
    // goes into the insertion style (done by the caller) and Caret runs.
    // Returns whether there was a selection.
    bool ApplyToSelection(const std::function<void(int32_t, int32_t)>& Set, bool Restyle,
                          const std::function<void()>& Caret = {});

    TrecCharAttr FAttr;
};

class TRichEditTav {
public:
    // Binds Control (not owned; it must outlive the binding).
    explicit TRichEditTav(TCustomRichEditWex* Control);
    ~TRichEditTav();
    TRichEditTav(const TRichEditTav&) = delete;
    TRichEditTav& operator=(const TRichEditTav&) = delete;

    // Shows Obj's text in its styles with the caret at 0; nil empties the
    // control and unbinds. Call it again after the text object changed from
    // outside (an undo), so that the control shows it.
    void SetTextObj(TTextObj* Obj);
    TTextObj* TextObj() const { return FTextObj; }
    // Writes the control's text into Obj (its line breaks kept where the
    // texts agree) and has its glyph outlines rebuilt.
    void StoreText(TTextObj* Obj);

    // Display scale in percent (default 100); never changes stored sizes.
    void SetZoom(int32_t Percent);
    int32_t Zoom() const { return FiZoom; }
    void ApplyZoom();
    int32_t ScreenDpi() const { return FiScreenDpi; }

    // The text edits; positions are the control's selection.
    void DeleteSelection();
    // Deletes the character holding byte Index (a whole line break, a whole
    // double-byte character); nothing outside 0 <= Index < length.
    void DeleteAChar(int32_t Index);
    void DeleteKey();
    void BackSpaceKey();
    // Cp932 in the insertion style at the caret, over the selection.
    // ApplyToControl False: the control already shows it (an input-method
    // commit) and only takes its format.
    void InsertText(const std::string& Cp932, bool ApplyToControl);
    // The same for text of the control; a character CP932 cannot hold
    // refuses the whole text with a message: False, nothing inserted.
    bool InsertControlText(const QString& Text, bool ApplyToControl);
    // Source's text in its own styles at the caret, over the selection.
    void InsertRichText(const TRTFTav& Source);
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Pastes Mime's "Wex_RtfTav", else its text/html, else its plain text.
    // A block that is unreadable, holds sizes or positions the text model
    // cannot draw, or a text longer than MaxTextObjectBytes pastes nothing,
    // not even the selection's deletion, and says so once.
    void PasteFromMime(const QMimeData* Mime);

    // The selection in bytes of the text object.
    void GetSelection(int32_t& Start, int32_t& Length) const;
    void SetSelection(int32_t Start, int32_t Length);

    // Runs Body as one command Caption on the text object's history (just
    // runs it without one). A failure rolls back what Body recorded, shows
    // the text object again, and passes on (Dropping: is shown here, once). A body
    // that changed nothing leaves no command.
    void RunCommand(const std::string& Caption, const std::function<void()>& Body, bool Dropping = false);

    TTextAttributesTavroSel& SelAttributes() { return *FSelAttributes; }
    // The bound text object's paragraph style (nil when none is bound).
    TParagraphStyle* ParagraphStyle() const { return FParagraph; }
    TCustomRichEditWex* Control() const { return FControl; }
    bool Composing() const { return FbComposing; }

    // The control format of a style at the current zoom.
    QTextCharFormat CharFormatOf(const TrecCharAttr& Attr) const;

    std::function<void()> OnChange;
    std::function<void()> OnImeEdit;
    // The control's selection changed (never while the binding is busy).
    std::function<void()> OnSelectionChange;

private:
    friend class TTextAttributesTavro;
    friend class TTextAttributesTavroSel;
    class TEventFilter;

    const std::string& ModelText() const;
    int32_t BytePos(int32_t Position) const;
    // Shows the styles of the bytes Start .. Start + Count in the control.
    void SetStyleByPosition(int32_t Start, int32_t Count);
    void ApplyCharStyle(const TrecCharAttr& Attr);
    void FireChange();
    void FireSelectionChange();
    bool HandleKey(QObject* Watched, class QKeyEvent* Event);
    bool HandleInputMethod(class QInputMethodEvent* Event);
    bool HandleDrop(class QDropEvent* Event);
    void ContentsChanged(int32_t Position, int32_t Removed, int32_t Added);
    bool PasteHtml(const QString& Html);
    void Refuse();

    bool FbComposing = false;
    int32_t FiCompStart = 0;
    int32_t FiZoom = 100;
    int32_t FiChangeLock = 0;
    int32_t FiBusy = 0;
    // Above 0 while the binding itself changes the control's text.
    int32_t FiApplying = 0;
    // Counts the recorded edits, so that a command knows whether it holds any.
    int32_t FiEdits = 0;
    bool FbResyncPending = false;
    bool FbPassEvent = false;
    QPointer<TCustomRichEditWex> FControl;
    TTextObj* FTextObj = nullptr;
    TParagraphStyle* FParagraph = nullptr;
    // Face names of the records as the control names them.
    mutable std::map<std::string, QString> FFaceCache;
    int32_t FiScreenDpi = 96;
    std::unique_ptr<TTextAttributesTavroSel> FSelAttributes;
    std::unique_ptr<TEventFilter> FFilter;
};
