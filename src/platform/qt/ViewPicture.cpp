#include "platform/qt/ViewPicture.h"

#include <QBuffer>
#include <QByteArray>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/Document.h"
#include "base/Format.h"
#include "platform/TextFile.h"
#include "platform/qt/QtCanvas.h"
#include "view/View.h"

namespace zelk {

namespace {

// The picture of `source` drawn and written to `path`: empty, or the message.
std::string DrawAndWrite(CZELKDoc& source, const std::string& path, QSize size) {
    std::string fault;
    const QImage image = RenderViewPicture(source, size, fault);
    if (image.isNull()) return PictureFaultText(path, fault);
    return WritePicture(image, path);
}

// The picture's file among the run's files; a failure is shown and fails a headless run.
bool NoteOutcome(CZELKDoc& doc, const std::string& path, const std::string& failure) {
    if (failure.empty()) {
        doc.asFilesWritten.push_back(path);
        return true;
    }
    doc.asFilesNotWritten.push_back(path);
    doc.Message(failure);
    if (doc.platform.IsHeadless()) doc.iExitCode = 1;
    return false;
}

}  // namespace

QImage RenderViewPicture(CZELKDoc& doc, QSize size, std::string& fault) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        fault = Format("there is no memory for a picture of %dx%d pixels", size.width(), size.height());
        return QImage();
    }
    image.fill(Qt::white);
    {
        QtCanvas canvas(image);
        CZELKView view(doc);
        view.DrawPicture(canvas);
    }
    // A draw that met a consistency failure stopped half-way: its picture is not kept.
    if (!doc.disp.sDrawFault.empty()) {
        fault = doc.disp.sDrawFault;
        doc.disp.sDrawFault.clear();
        return QImage();
    }
    return image;
}

std::string WritePicture(const QImage& image, const std::string& path) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return PictureFaultText(path, "the picture could not be encoded as PNG");
    buffer.close();
    AtomicFileSet file;
    file.Add(path, std::string(png.constData(), static_cast<size_t>(png.size())));
    const AtomicFileSet::Result r = file.Commit();
    if (r.Ok()) return std::string();
    return PictureFaultText(path, r.fault == AtomicFileSet::Fault::Open
                                      ? "its directory does not take a new file, or the file is in use"
                                      : "writing it failed (a full disk?)");
}

bool PictureWouldReplaceDataFiles(const std::string& image, const std::string& dataFile) {
    std::error_code ec;
    if (image == dataFile || std::filesystem::equivalent(image, dataFile, ec)) return true;
    if (image.compare(0, dataFile.size(), dataFile) != 0) return false;
    const std::string suffix = image.substr(dataFile.size());
    for (const char* kept : {".NRT.", ".SDT."})
        if (suffix.compare(0, std::strlen(kept), kept) == 0) return true;
    return suffix == ".SuT.out" || suffix == ".DSSuT.out";
}

std::string PictureFaultText(const std::string& path, const std::string& why) {
    return "Could not write the image " + path + (why.empty() ? std::string(".") : ": " + why + ".");
}

bool TakePicture(CZELKDoc& doc, const std::string& path, QSize size) {
    return NoteOutcome(doc, path, DrawAndWrite(doc, path, size));
}

bool TakeReopenedPicture(CZELKDoc& doc, const std::string& dataFile, const std::string& path, QSize size) {
    std::string failure;
    {
        // A document of its own, so that the finished run's record in `doc` (its files, its
        // summary) stays as it is.
        CZELKDoc reopened(doc.platform, false);
        reopened.opt = doc.opt;
        failure = reopened.OnOpenDocument(dataFile)
                      ? DrawAndWrite(reopened, path, size)
                      : PictureFaultText(path, dataFile + " could not be opened again");
    }
    return NoteOutcome(doc, path, failure);
}

}  // namespace zelk
