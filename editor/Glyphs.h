// Pictures the main window draws itself: the key-type marks and the on-screen key caps.
#pragma once
#include <QPixmap>
#include <QString>

#include <vector>

// The class library's image list: pictures of one size, by index.
class TImageList {
public:
    TImageList(int Width, int Height) : FWidth(Width), FHeight(Height) {}
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return static_cast<int>(FImages.size()); }
    void Add(const QPixmap& Picture) { FImages.push_back(Picture); }
    // An empty picture for an index outside the list.
    QPixmap Picture(int Index) const;

private:
    int FWidth;
    int FHeight;
    std::vector<QPixmap> FImages;
};

// The key-type marks, 16 x 16, at the indexes of the key types: 0 blank (a normal key shows
// none), 1 a red "S" (Shift Level), 2 a blue "T" (Toggle Level).
void FillLevelImages(TImageList& List);

// The legends' font: the windows' font less one point, the least size of a text on the screen,
// in whole pixels.
QFont KeyCapFont();
// The face of a cap of the given size, inside its outline.
QRect KeyCapFace(int Width, int Height);
// Where the letters of each line of a legend (two lines when split at "\n") stand on a cap of
// the given size; the legend fits when they lie inside the face.
std::vector<QRect> KeyCapLegendInk(const QString& Legend, int Width, int Height);

// A key cap of the given size with its legend: green for the keys that typing reaches,
// grey for the others.
QPixmap KeyCapPicture(const QString& Legend, bool TypingReaches, int Width, int Height);
