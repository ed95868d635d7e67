#include "app/card/MessageTable.h"

namespace {

struct CMessageRow {
    int id;
    const char* english;
    const char* japanese;
};

const CMessageRow kMessageRows[] = {
    {0, "The file is currently in use. Overwriting is not possible.", "ファイルは現在使用中です。上書きできません。"},
    {4, "The file could not be read.", "ファイルが読み込めませんでした。"},
    {5, "The file could not be saved.", "ファイルが保存できませんでした。"},
    {9, "Manual/GigboxSetlisterManualE.pdf", "Manual/GigboxSetlisterManualJ.pdf"},
    {10, "Unable to start a program for opening the online manual (PDF).",
     "オンライン・マニュアル (PDF) を開くためのプログラムを起動できませんでした。"},
    {11, "Now importing.", "インポート中です。"},
    {12, "Now exporting.", "エクスポート中です。"},
    {13, "Now converting.", "変換中です。"},
    {14, "Now copying.", "コピー中です。"},
    {15, "Now deleting.", "消去中です。"},
    {16, "Now ripping.", "リッピング中です。"},
    {17, "Save changes to the database file?", "変更をデータベースファイルへ保存しますか？"},
    {18, "OK to delete?", "削除して良いですか？"},
    {19, "A file with the same name already exists. Overwrite it?", "同じ名前の file があります。上書きしますか？"},
    {20, "Edits will be discarded.", "編集内容が破棄されます。"},
    {21, "The song is protected. Delete it?", "ソングがプロテクトされています。削除しますか？"},
    {22, "Failed to import.", "インポートに失敗しました。"},
    {23, "Failed to export.", "エクスポートに失敗しました。"},
    {24, "Failed to delete.", "デリートに失敗しました。"},
    {25, "Failed to rip.", "リッピングに失敗しました。"},
    {26, "Insufficient free space in the save destination.", "保存先の空き容量が不足しています。"},
    {27, "Insufficient free space on the unit.", "本体の空き容量が不足しています。"},
    {28, "Unsupported file format.", "サポート外のファイル形式です。"},
    {29, "Failed to read from the unit.", "本体からの読み込みに失敗しました。"},
    {30, "Failed to write to the unit.", "本体への書き込みに失敗しました。"},
    {31, "Could not connect to the server to obtain CD information.",
     "CD情報を取得するためのサーバーに接続することができません。"},
    {32, "In use by another application; unable to disconnect.",
     "他のアプリケーションが使用中のため切断できませんでした。"},
    {33, "The unit not found.", "本体が見つかりません。"},
    {35, "Exceeded the maximum number of songs storable on the unit.", "本体に記録可能な曲数の上限を超えています。"},
    {36, "Exceeded the maximum number of albums or artists that can be stored on the unit.",
     "本体に記録可能なアルバム、アーティストの上限を超えています。"},
    {37, "ID registration was not possible.", "ID登録できませんでした。"},
    {38, "Select CD information", "CD 情報の選択"},
    {39, "Multiple items of CD information were found; please choose one.",
     "CD の情報が複数見つかりました。選択してください。"},
    {40, "Obtain again", "再取得"},
    {41, "Use a proxy server", "プロキシサーバーを使う"},
    {42, "Server address", "サーバーアドレス"},
    {43, "Port", "ポート"},
};

}  // namespace

GT::CTextCodeTable& GetTextCodeTable() {
    static GT::CTextCodeTable table;
    return table;
}

void LoadMessageTable() {
    GT::CTextCodeTable& table = GetTextCodeTable();
    table.Clear();
    for (const CMessageRow& row : kMessageRows) {
        table.SetText(0, row.id, row.english);
        table.SetText(1, row.id, row.japanese);
    }
}
