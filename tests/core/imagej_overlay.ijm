// Prints what ImageJ makes of a TIFF: its pixel size and every overlay ROI's name, type and
// measurements, one tab-separated line each.
path = getArgument();
setBatchMode(true);
open(path);
getPixelSize(unit, pw, ph);
print("pixel\t" + unit + "\t" + d2s(pw, 9) + "\t" + d2s(ph, 9));
n = Overlay.size;
print("overlay\t" + n);
for (i = 0; i < n; i++) {
    Overlay.activateSelection(i);
    line = "roi\t" + Roi.getName + "\t" + Roi.getType;
    line = line + "\t" + d2s(getValue("Length"), 6) + "\t" + d2s(getValue("Area"), 6);
    line = line + "\t" + d2s(getValue("Angle"), 6);
    if (Roi.getType == "line") {
        getLine(x1, y1, x2, y2, width);
        line = line + "\t" + d2s(x1, 4) + "\t" + d2s(y1, 4) + "\t" + d2s(x2, 4) + "\t" + d2s(y2, 4);
    }
    print(line);
}
