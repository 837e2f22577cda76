#ifndef _TEXT_VIEW_H
#define _TEXT_VIEW_H

#include <Font.h>
#include <GraphicsDefs.h>
#include <InterfaceDefs.h>
#include <Rect.h>
#include <View.h>

#include <string>
#include <vector>

class BClipboard;
class BMessage;
class BScrollBar;

struct text_run {
    int32 offset;
    BFont font;
    rgb_color color;
};

struct text_run_array {
    int32 count;
    text_run runs[1];
};

// A view of plain text: one font and one colour for the whole text, laid out in
// the text rectangle, lines broken at '\n' and (by default) wrapped at the text
// rectangle's width. It can be selectable, editable, both or neither. Text runs
// passed in are accepted and not used: the view is not stylable.
class BTextView : public BView
{
public:
    BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode,
              uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    BTextView(BRect frame, const char* name, BRect textRect, const BFont* initialFont,
              const rgb_color* initialColor, uint32 resizingMode, uint32 flags);
    virtual ~BTextView();

    // Hooks
    virtual void AttachedToWindow();
    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    virtual void MouseUp(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void KeyDown(const char* bytes, int32 numBytes);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void MakeFocus(bool focus = true);
    virtual void MessageReceived(BMessage* message);

    // The text. Offsets and lengths count bytes.
    void SetText(const char* text, const text_run_array* runs = NULL);
    void SetText(const char* text, int32 length, const text_run_array* runs = NULL);
    void Insert(const char* text, const text_run_array* runs = NULL);
    void Insert(const char* text, int32 length, const text_run_array* runs = NULL);
    void Insert(int32 offset, const char* text, int32 length, const text_run_array* runs = NULL);
    void Delete();
    void Delete(int32 startOffset, int32 endOffset);
    // Valid until the next change of the text.
    const char* Text() const;
    int32 TextLength() const;
    void GetText(int32 offset, int32 length, char* buffer) const;
    uchar ByteAt(int32 offset) const;

    // Lines as laid out.
    int32 CountLines() const;
    int32 CurrentLine() const;
    void GoToLine(int32 line);
    int32 LineAt(int32 offset) const;
    int32 LineAt(BPoint point) const;
    int32 OffsetAt(BPoint point) const;
    int32 OffsetAt(int32 line) const;
    BPoint PointAt(int32 offset, float* height = NULL) const;
    float LineWidth(int32 line = 0) const;
    float LineHeight(int32 line = 0) const;
    float TextHeight(int32 startLine, int32 endLine) const;

    // Selection and the clipboard. Copy and Cut put the selected bytes on the
    // system clipboard whatever clipboard object is passed.
    virtual void Select(int32 startOffset, int32 endOffset);
    void SelectAll();
    void GetSelection(int32* start, int32* end) const;
    virtual void Copy(BClipboard* clipboard);
    virtual void Cut(BClipboard* clipboard);
    void Clear();

    // Font and colour. A NULL colour leaves the colour; `mode` says which of
    // the font's attributes are taken (any mask with all bits of the platform).
    void SetFontAndColor(const BFont* font, uint32 mode = B_FONT_ALL,
                         const rgb_color* color = NULL);
    void SetFontAndColor(int32 startOffset, int32 endOffset, const BFont* font,
                         uint32 mode = B_FONT_ALL, const rgb_color* color = NULL);
    void GetFontAndColor(int32 offset, BFont* font, rgb_color* color = NULL) const;
    void GetFontAndColor(BFont* font, uint32* mode, rgb_color* color = NULL,
                         bool* sameColor = NULL) const;

    // Scrolling
    virtual void ScrollToOffset(int32 offset);
    void ScrollToSelection();

    // Appearance and behaviour
    void SetTextRect(BRect rect);
    BRect TextRect() const;
    void MakeSelectable(bool selectable = true);
    bool IsSelectable() const;
    void MakeEditable(bool editable = true);
    bool IsEditable() const;
    void SetWordWrap(bool wrap);
    bool DoesWordWrap() const;
    void SetMaxBytes(int32 max);
    int32 MaxBytes() const;
    void SetAlignment(alignment flag);
    alignment Alignment() const;

protected:
    // Every change of the text goes through these two.
    virtual void InsertText(const char* text, int32 length, int32 offset,
                            const text_run_array* runs);
    virtual void DeleteText(int32 fromOffset, int32 toOffset);

private:
    struct Line {
        int32 start; // offset of its first byte
        int32 end;   // one past its last byte, not counting the '\n' that ends it
    };

    void Init(BRect textRect, const BFont* font, const rgb_color* color);
    void TextChanged();
    void Layout() const;
    void UpdateScrollBars();
    void ScrollToShow(float top, float bottom);
    int32 ClampOffset(int32 offset) const;
    int32 OffsetInLine(int32 line, float x) const;
    float LineLeft(int32 line) const;
    float XInLine(int32 line, int32 offset) const;
    float MaxScrollTop() const;
    void ScrollToTop(float top);
    void WordAt(int32 offset, int32* start, int32* end) const;
    void ExtendSelectionTo(int32 offset);
    void ReplaceSelection(const char* bytes, int32 length);
    void InvalidateLines(int32 fromOffset, int32 toOffset);
    BScrollBar* VerticalBar() const;

    std::string fText;
    BRect fTextRect;
    BFont fFont;
    rgb_color fColor;
    int32 fSelStart = 0;
    int32 fSelEnd = 0;
    int32 fAnchor = 0; // the fixed end while the mouse selects
    int32 fMaxBytes = INT32_MAX;
    alignment fAlignment = B_ALIGN_LEFT;
    bool fSelectable = true;
    bool fEditable = true;
    bool fWordWrap = true;
    bool fTracking = false;
    bool fWordTracking = false;

    // Layout, remade when drawn or asked for after a change.
    mutable std::vector<Line> fLines;
    mutable bool fLayoutValid = false;
    mutable float fLineHeight = 0;
    mutable float fAscent = 0;
};

#endif
