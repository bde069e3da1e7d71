#pragma once
// The second picture of the split view: the area the preview shows, resized with another
// algorithm, so two algorithms can be compared side by side. Standard modes are drawn at once;
// an own algorithm is computed on a worker thread of its own (the document's worker keeps
// serving the main picture), with its nearest-neighbour picture standing in until it is done.
// Only the last area is kept. User-interface thread, except the worker.

#include "document/preview_store.h"

#include <QImage>
#include <QObject>

class QThread;

namespace orm {

class PreviewWorker;
struct PreviewResult;

class SplitPreview : public QObject {
    Q_OBJECT
  public:
    explicit SplitPreview(QObject* parent = nullptr);
    ~SplitPreview() override;

    // The picture of request.area (of an output of request's size, with request.algorithm) from
    // source (Format_BGR888, the document's source). Exact for the standard modes and at 1:1;
    // for an own algorithm the provisional picture until `ready`, then the exact one. Null when
    // the area does not fit the source.
    QImage Picture(const QImage& source, const PreviewRequest& request);
    // Whether the last picture is the exact one.
    bool Exact() const { return exact_; }
    // Forgets the picture and stops the computation (split view off, another image).
    void Clear();

  signals:
    // The exact picture of the last request has arrived.
    void ready();

  private slots:
    void OnFinished(const orm::PreviewResult& result);

  private:
    QThread* thread_ = nullptr;
    PreviewWorker* worker_ = nullptr;
    PreviewRequest request_;
    qint64 sourceKey_ = 0;
    QImage image_;
    bool exact_ = false;
    quint64 generation_ = 0;
};

}  // namespace orm
