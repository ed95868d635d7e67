#include "app/shell/SongTableModel.h"

#include "app/card/CardDocument.h"
#include "app/card/DatabaseFiles.h"
#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"

#include <algorithm>
#include <cctype>
#include <typeinfo>
#include <vector>

namespace {

constexpr int kOutside = 5;         // the Song tab's answer for a column outside the five
constexpr int kTaggedColumns = 3;   // the Rhythm and User tabs' view columns
constexpr int kTaggedTypeView = 1;  // where those tabs show the type

bool IsTaggedTab(int tab) { return tab == CDocumentModel::TAB_RHYTHM || tab == CDocumentModel::TAB_USER; }

int ShownTab() { return CDocumentModel::GetInstance().GetShownTab(); }

// -1 when a comes first, 1 when b does, 0 when the key does not decide.
int CompareTexts(const std::string& a, const std::string& b) { return a == b ? 0 : (a < b ? -1 : 1); }

int CompareNumbers(int a, int b) { return a == b ? 0 : (a < b ? -1 : 1); }

// The texts upper-cased byte by byte (as GT::ToUpper does) and compared as byte strings, without
// making the upper-cased copies: a sort asks thousands of times.
int CompareUpperCased(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int x = std::toupper(static_cast<unsigned char>(a[i]));
        const int y = std::toupper(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The text upper-cased, then the text itself.
int CompareNames(const std::string& a, const std::string& b) {
    const int upper = CompareUpperCased(a, b);
    return upper != 0 ? upper : CompareTexts(a, b);
}

// The first key that decides; the row when none does. Keys are worked out only as far as needed
// (a sort asks thousands of times).
template <class... Keys>
bool Ordered(int rowA, int rowB, Keys... keys) {
    int decided = 0;
    ((decided = decided != 0 ? decided : keys()), ...);
    return decided != 0 ? decided < 0 : rowA < rowB;
}

}  // namespace

int CSongTableModel::MapViewColumn(int tab, int viewColumn) {
    if (IsTaggedTab(tab)) {
        if (viewColumn == 0) return NAME;
        return viewColumn == 2 ? PROTECT : TYPE;
    }
    return viewColumn >= 0 && viewColumn < MODEL_COLUMNS ? viewColumn : kOutside;
}

int CSongTableModel::MapModelColumn(int tab, int modelColumn) {
    if (IsTaggedTab(tab)) {
        switch (modelColumn) {
            case NAME:
                return 0;
            case TYPE:
                return kTaggedTypeView;
            case PROTECT:
                return 2;
            default:
                return kTaggedColumns;
        }
    }
    return modelColumn >= 0 && modelColumn < MODEL_COLUMNS ? modelColumn : kOutside;
}

int CSongTableModel::MapViewColumn(int viewColumn) { return MapViewColumn(ShownTab(), viewColumn); }

int CSongTableModel::MapModelColumn(int modelColumn) { return MapModelColumn(ShownTab(), modelColumn); }

const std::string& CSongTableModel::GetTypeText(int fileType) {
    static const std::string wav("WAV"), mp3("MP3"), voxa("Gigbox"), unknown("UNKNOWN");
    switch (fileType) {
        case kSongFileWav:
            return wav;
        case kSongFileMp3:
            return mp3;
        case kSongFileVoxa:
            return voxa;
        default:
            return unknown;
    }
}

CSongX* CSongTableModel::SongAt(int row) {
    const CSongList& list = CDocumentModel::GetInstance().GetDocument().GetList(ShownTab());
    if (row < 0 || static_cast<size_t>(row) >= list.size()) return nullptr;
    return list[static_cast<size_t>(row)].song;
}

int CSongTableModel::GetRowCount() const {
    return static_cast<int>(CDocumentModel::GetInstance().GetDocument().GetList(ShownTab()).size());
}

int CSongTableModel::GetColumnCount() const { return MapModelColumn(-1); }

std::string CSongTableModel::GetColumnName(int column) const {
    static const char* const songHeaders[MODEL_COLUMNS] = {"Song Name", "Artist", "Album", "Type", "Protect"};
    static const char* const rhythmHeaders[MODEL_COLUMNS] = {"Rhythm Name", "Artist", "Genre", "Type", "Protect"};
    const int tab = ShownTab();
    const int model = MapViewColumn(tab, column);
    if (model < 0 || model >= MODEL_COLUMNS) return std::string();
    return (tab == CDocumentModel::TAB_RHYTHM ? rhythmHeaders : songHeaders)[model];
}

const std::type_info& CSongTableModel::GetValueClass(int, int column) const {
    switch (MapViewColumn(column)) {
        case NAME:
        case ARTIST:
        case ALBUM:
        case TYPE:
            return typeid(std::string);
        case PROTECT:
            return typeid(bool);
        default:
            return typeid(void);
    }
}

bool CSongTableModel::IsCellEditable(int, int column) const {
    const int model = MapViewColumn(column);
    return model == NAME || model == ARTIST || model == ALBUM || model == PROTECT;
}

void CSongTableModel::SetValueAt(const UL::CCellValue& value, int row, int column) {
    CSongX* song = SongAt(row);
    if (song == nullptr) return;
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    // Cut here as the card's name field holds it (whole characters), so the cell shows what the card
    // keeps; a text that differs only past that is no change.
    const auto stored = [&value] {
        return CSongX::CutToBytes(CSongX::TruncateUtf8(value.GetString(), CSongX::GetMaxTextLength()),
                                  CNameBlock::TEXT_BYTES);
    };
    switch (MapViewColumn(column)) {
        case NAME: {
            const std::string name = stored();
            if (name == song->GetTitle()) return;
            song->SetTitle(name);
            document.MarkChanged(song);  // the icon file carries the name
            return;
        }
        case ARTIST:
        case ALBUM: {
            // The old name is taken away and the new one added: renaming the only song of a name
            // keeps the count.
            const bool artist = MapViewColumn(column) == ARTIST;
            const std::string name = stored();
            const std::string old = artist ? song->GetArtist() : song->GetAlbum();
            if (name == old) return;
            const std::vector<std::string> none, added{name}, removed{old};
            if (!document.CheckAlbumArtistLimit(artist ? none : added, artist ? added : none, artist ? none : removed,
                                                artist ? removed : none)) {
                CModalManager::GetInstance().ShowMessageById(MSG_TOO_MANY_NAMES);
                return;
            }
            if (artist)
                song->SetArtist(name);
            else
                song->SetAlbum(name);
            document.SetModified(1);
            return;
        }
        case PROTECT: {
            const bool protect = value.GetBool();
            if (protect == song->IsProtected()) return;
            song->SetProtected(protect);
            document.MarkChanged(song);  // the icon file carries the flag
            return;
        }
        default:
            return;
    }
}

UL::CCellValue CSongTableModel::GetValueAt(int row, int column) const {
    const CSongX* song = SongAt(row);
    if (song == nullptr) return UL::CCellValue(std::string());
    switch (MapViewColumn(column)) {
        case NAME:
            return UL::CCellValue(song->GetTitle());
        case ARTIST:
            return UL::CCellValue(song->GetArtist());
        case ALBUM:
            return UL::CCellValue(song->GetAlbum());
        case TYPE:
            return UL::CCellValue(GetTypeText(song->GetFileType()));
        case PROTECT:
            return UL::CCellValue(song->IsProtected());
        default:
            return UL::CCellValue(std::string());
    }
}

bool CSongTableModel::IsLess(int rowA, int rowB, int column) const {
    const CSongX* a = SongAt(rowA);
    const CSongX* b = SongAt(rowB);
    if (a == nullptr || b == nullptr) return rowA < rowB;
    const auto names = [](const std::string& x, const std::string& y) {
        return [&x, &y] { return CompareNames(x, y); };
    };
    const auto numbers = [](int x, int y) { return [x, y] { return CompareNumbers(x, y); }; };
    switch (MapViewColumn(column)) {
        case NAME:
            return Ordered(rowA, rowB, names(a->GetTitle(), b->GetTitle()));
        case ARTIST:
            return Ordered(rowA, rowB, names(a->GetArtist(), b->GetArtist()), names(a->GetAlbum(), b->GetAlbum()),
                           numbers(a->GetNumber(), b->GetNumber()));
        case ALBUM:
            return Ordered(rowA, rowB, names(a->GetAlbum(), b->GetAlbum()), numbers(a->GetNumber(), b->GetNumber()));
        case TYPE:
            return Ordered(rowA, rowB, numbers(a->GetFileType(), b->GetFileType()));
        case PROTECT:
            return Ordered(rowA, rowB, numbers(a->IsProtected(), b->IsProtected()));
        default:
            return rowA < rowB;
    }
}
