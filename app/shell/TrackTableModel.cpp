#include "app/shell/TrackTableModel.h"

#include "app/shell/AlbumInfo.h"

#include <string>

namespace {

bool TextLess(const std::string& a, const std::string& b, int rowA, int rowB) { return a == b ? rowA < rowB : a < b; }

}  // namespace

int CTrackTableModel::GetRowCount() const { return static_cast<int>(GetCurrentAlbum().tracks.size()); }

std::string CTrackTableModel::GetColumnName(int column) const {
    switch (column) {
        case TRACK:
            return "Track";
        case TITLE:
            return "Title Name";
        case ARTIST:
            return "Artist Name";
        default:
            return std::string();
    }
}

const std::type_info& CTrackTableModel::GetValueClass(int, int column) const {
    switch (column) {
        case TRACK:
            return typeid(int);
        case TITLE:
        case ARTIST:
            return typeid(std::string);
        default:
            return typeid(void);
    }
}

bool CTrackTableModel::IsCellEditable(int, int column) const { return column == TITLE || column == ARTIST; }

const GT::IValueDescription* CTrackTableModel::GetValueDescription(int, int column) const {
    static const GT::CRangedNumberDescription<int> trackNumbers(0, 65535, 1);
    return column == TRACK ? &trackNumbers : nullptr;
}

void CTrackTableModel::SetValueAt(const UL::CCellValue& value, int row, int column) {
    if (column == TITLE)
        SetCurrentTrackTitle(row, value.GetString());
    else if (column == ARTIST)
        SetCurrentTrackArtist(row, value.GetString());
}

UL::CCellValue CTrackTableModel::GetValueAt(int row, int column) const {
    switch (column) {
        case TRACK:
            return UL::CCellValue(row + 1);
        case TITLE:
            return UL::CCellValue(GetCurrentTrackTitle(row));
        case ARTIST:
            return UL::CCellValue(GetCurrentTrackArtist(row));
        default:
            return UL::CCellValue(std::string());
    }
}

bool CTrackTableModel::IsLess(int rowA, int rowB, int column) const {
    switch (column) {
        case TRACK:
            return rowA < rowB;
        case TITLE:
            return TextLess(GetCurrentTrackTitle(rowA), GetCurrentTrackTitle(rowB), rowA, rowB);
        case ARTIST:
            return TextLess(GetCurrentTrackArtist(rowA), GetCurrentTrackArtist(rowB), rowA, rowB);
        default:
            return false;
    }
}
