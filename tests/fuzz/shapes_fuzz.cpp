// The shape model driven by any sequence of tool changes, mouse messages, lost captures,
// deletions, text placement and ruler changes, over any view geometry. After every step the
// selection points at a shape, every shape is of a drawing tool, no more shapes exist than
// drags and texts that could have made them, and a release leaves no drag and no capture.
#include <string>

#include "measure/shapes.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class FuzzView final : public MeasureHost {
public:
    ViewGeometry geometry;
    bool captured = false;

    ViewGeometry Geometry() const override { return geometry; }
    TextSize MeasureLabelText(std::u16string_view text) override {
        return {static_cast<int32_t>(text.size()) * 7, 16};
    }
    std::u16string_view TextPlaceholder() const override { return u"Input text"; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void Invalidate() override {}
    void ComposeNow() override {}
    void PanView(int32_t, int32_t) override {}
    void RequestNoTool() override {}
};

bool IsShapeKind(int32_t kind) {
    switch (kind) {
        case kToolLine: case kToolParallel: case kToolRectangle: case kToolCircle:
        case kToolConcentric: case kToolAngle: case kToolPencil: case kToolText:
            return true;
    }
    return false;
}

void RandomGeometry(FuzzedDataProvider& data, ViewGeometry& g) {
    g.pictureWidth = data.ConsumeIntegralInRange(0, 4000);
    g.pictureHeight = data.ConsumeIntegralInRange(0, 3000);
    g.zoomPercent = data.ConsumeBool() ? 100 : data.ConsumeIntegralInRange(50, 200);
    g.digitalZoom = data.ConsumeBool() ? 0 : data.ConsumeIntegralInRange(0, 5);
    g.displayWidth = g.pictureWidth * g.zoomPercent / 100;
    g.displayHeight = g.pictureHeight * g.zoomPercent / 100;
    g.clientWidth = data.ConsumeIntegralInRange(0, 3000);
    g.clientHeight = data.ConsumeIntegralInRange(0, 2000);
    g.hScrollPos = data.ConsumeIntegralInRange(0, 3000);
    g.vScrollPos = data.ConsumeIntegralInRange(0, 3000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    FuzzView view;
    RandomGeometry(data, view.geometry);
    MeasureModel model(view);
    size_t makers = 0;  // releases and committed texts: each can add one shape at most

    static const int32_t kCodes[] = {kToolNone, kToolLine, kToolParallel, kToolRectangle,
                                     kToolCircle, kToolConcentric, kToolAngle, kToolPencil,
                                     kToolText, 7, -1, kToolRulerLeft};
    for (int step = 0; step < 400 && data.remaining_bytes() > 0; ++step) {
        const uint16_t x = data.ConsumeIntegral<uint16_t>();
        const uint16_t y = data.ConsumeIntegral<uint16_t>();
        switch (data.ConsumeIntegralInRange(0, 13)) {
            case 0: model.SetTool(kCodes[data.ConsumeIntegralInRange<size_t>(0, 11)]); break;
            case 1: model.OnPress(x, y); break;
            case 2: case 3: model.OnMove(data.ConsumeIntegral<uint32_t>(), x, y); break;
            case 4:
                model.OnRelease();
                ++makers;
                FUZZ_CHECK(!view.captured && !model.Dragging());  // a release ends every drag
                break;
            case 5: model.OnCaptureLost(); view.captured = false; break;
            case 6: model.DeleteSelected(); break;
            case 7: model.DeleteLast(); break;
            case 8: if (data.ConsumeIntegralInRange(0, 7) == 0) model.DeleteAll(); break;
            case 9: model.BeginTextPlacement(); model.OnTextInit(); break;
            case 10: model.SetPlacedText(ConsumeU16(data, 300)); break;
            case 11: makers += model.OnTextOk() ? 1 : 0; break;
            case 12: data.ConsumeBool() ? model.ShowRuler() : model.HideRuler(); break;
            default: RandomGeometry(data, view.geometry); break;
        }
        const ShapeList& shapes = model.Shapes();
        const auto count = static_cast<int32_t>(shapes.size());
        FUZZ_CHECK(shapes.size() <= makers);
        FUZZ_CHECK(model.SelectedIndex() >= -1 && model.SelectedIndex() < count);
        // After a deletion the hovered index may name a place past the end until the next
        // mouse move; it is only ever compared, never used to reach a shape.
        FUZZ_CHECK(model.HoveredIndex() >= -1);
        for (const MeasureShape& shape : shapes) {
            FUZZ_CHECK(IsShapeKind(shape.kind));
            FUZZ_CHECK(shape.text.size() < size_t(kTextAnnotationChars));
        }
    }
    return 0;
}
