#include "document/preview_presenter.h"

#include "document/cormensura_doc.h"
#include "document/preview_compare.h"
#include "document/preview_render.h"
#include "settings/resize_settings.h"

namespace orm {

void PreviewPresenter::Reset() {
    drawn_ = DrawnPicture{};
    SetPicture(QImage());
    display_ = QImage();
    draft_ = AreaPicture{};
    comparison_ = AreaPicture{};
    ++sourceSerial_;
    split_.Clear();
    splitDisplay_ = QImage();
    splitDisplayKey_ = 0;
    presented_ = PreviewViewState{};
    showsDraft_ = false;
}

void PreviewPresenter::SetPicture(const QImage& image) {
    picture_ = image;
    ++pictureSerial_;
}

void PreviewPresenter::Present(CORMensuraDoc& document, const PreviewViewState& state) {
    presented_ = state;
    ++generation_;
    if (!document.HasSource() || state.area.isEmpty()) {
        splitDisplay_ = QImage();
        return;
    }
    const PreviewArea& area = state.area;
    const ZoomRatio& ratio = state.ratio;
    // At 100 % and above the visible area is always small enough to compute exactly.
    showsDraft_ = !ratio.isOne() && !ratio.enlarges() && !FitsExactBudget(area);
    if (showsDraft_) {
        PrepareDraft(document, area, ratio);
        document.CancelPreview();
    } else {
        PreparePicture(document, area);
        PrepareDisplay(ratio);
    }
    if (state.comparing)
        PrepareComparison(document, area, ratio, showsDraft_);
    if (state.split && !state.comparing && !showsDraft_)
        PrepareSplit(document, area, ratio, *state.split);
    else
        splitDisplay_ = QImage();
    if (showsDraft_)
        return;
    const ResizeSettings& s = document.Settings().Resize();
    if (ShouldRequestPreview(s.algorithm, document.Preview().HasResult(), state.panning,
                             state.scrolling))
        document.RequestPreview(area);
}

void PreviewPresenter::PreparePicture(CORMensuraDoc& document, const PreviewArea& area) {
    const ResizeSettings& s = document.Settings().Resize();
    const PreviewStore& store = document.Preview();
    switch (DecideDraw(drawn_, area.source, s.width, s.height, s.algorithm, store.HasResult())) {
        case DrawAction::Keep:
            break;
        case DrawAction::ShowResult: {
            const QImage& result = store.Result();
            if (result.width() == drawn_.target.width() &&
                result.height() == drawn_.target.height()) {
                SetPicture(result);
                drawn_.resultShown = true;
            }
            break;
        }
        case DrawAction::KeepAsProvisional:
            document.ReleasePreviewResult();
            drawn_.algorithm = s.algorithm;
            drawn_.resultShown = false;
            break;
        case DrawAction::DrawNew: {
            document.ReleasePreviewResult();
            SetPicture(RenderStandardArea(document.SourcePixels(), area,
                                          DrawModeForAlgorithm(s.algorithm),
                                          OutputOptionsOf(document.Settings().Batch()).linear));
            drawn_ = DrawnPicture{!picture_.isNull(), area.source, area.target, s.width,
                                  s.height,           s.algorithm, false};
            break;
        }
    }
}

void PreviewPresenter::PrepareDisplay(const ZoomRatio& ratio) {
    // Made once per picture and zoom.
    if (displaySerial_ == pictureSerial_ && displayRatio_ == ratio)
        return;
    display_ = ScaleForDisplay(picture_, drawn_.target, ratio);
    displaySerial_ = pictureSerial_;
    displayRatio_ = ratio;
}

void PreviewPresenter::PrepareDraft(CORMensuraDoc& document, const PreviewArea& area,
                                    const ZoomRatio& ratio) {
    const ResizeSettings& s = document.Settings().Resize();
    if (!draft_.image.isNull() && draft_.area == area && draft_.ratio == ratio &&
        draft_.outputWidth == s.width && draft_.outputHeight == s.height &&
        draft_.crop == s.cropFlag() && draft_.sourceSerial == sourceSerial_)
        return;
    // Straight from the source to the screen size: a reduced view cannot show the output's own
    // pixels, and the area is too large to compute them first.
    const PixelRect screen = ratio.ToScreen(area.target);
    draft_ = AreaPicture{RenderStandardArea(document.SourcePixels(), {area.source, screen},
                                            engine::StandardMode::HighQualityBilinear),
                         area,
                         ratio,
                         s.width,
                         s.height,
                         s.cropFlag(),
                         true,
                         sourceSerial_};
}

void PreviewPresenter::PrepareComparison(CORMensuraDoc& document, const PreviewArea& area,
                                         const ZoomRatio& ratio, bool draft) {
    const ResizeSettings& s = document.Settings().Resize();
    if (!comparison_.image.isNull() && comparison_.area == area && comparison_.ratio == ratio &&
        comparison_.outputWidth == s.width && comparison_.outputHeight == s.height &&
        comparison_.crop == s.cropFlag() && comparison_.draft == draft &&
        comparison_.sourceSerial == sourceSerial_)
        return;
    QImage image;
    if (draft) {
        image =
            RenderStandardArea(document.SourcePixels(), {area.source, ratio.ToScreen(area.target)},
                               engine::StandardMode::NearestNeighbor);
    } else {
        image = ScaleForDisplay(
            RenderNearestOutputArea(document.SourcePixels(), document.Mapping(), area.target),
            area.target, ratio);
    }
    comparison_ =
        AreaPicture{image, area, ratio, s.width, s.height, s.cropFlag(), draft, sourceSerial_};
}

void PreviewPresenter::PrepareSplit(CORMensuraDoc& document, const PreviewArea& area,
                                    const ZoomRatio& ratio, engine::ResizeAlgorithm algorithm) {
    const ResizeSettings& s = document.Settings().Resize();
    const QImage left = split_.Picture(
        document.SourcePixels(), PreviewRequest{area, s.width, s.height, algorithm, s.sampling()});
    if (left.isNull()) {
        splitDisplay_ = QImage();
        return;
    }
    if (left.cacheKey() != splitDisplayKey_ || !(splitDisplayRatio_ == ratio)) {
        splitDisplay_ = ScaleForDisplay(left, area.target, ratio);
        splitDisplayKey_ = left.cacheKey();
        splitDisplayRatio_ = ratio;
    }
}

}  // namespace orm
