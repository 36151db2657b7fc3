// Pictures of the view: what the window shows of a document, drawn by the view's own code
// on the image canvas into an image of a chosen size, and written as a PNG file. The
// headless mode takes them for --image; the window's File > Save Image... writes the
// picture it shows.
#pragma once

#include <QImage>
#include <QSize>

#include <string>

namespace zelk {

class CZELKDoc;

// What the window shows of the document now, drawn whole into a new white image of the
// given size (the map too, in the headless mode). A null image when the picture could not
// be made; `fault` then says why.
QImage RenderViewPicture(CZELKDoc& doc, QSize size, std::string& fault);

// Writes the image as a PNG file that replaces `path` whole or not at all. Empty when
// written, else the message.
std::string WritePicture(const QImage& image, const std::string& path);

// True when `image` names the data file itself or one of the files the program reads or
// writes beside it (its result and surface files): a picture must not replace them. Both
// paths in full.
bool PictureWouldReplaceDataFiles(const std::string& image, const std::string& dataFile);

// The message when a picture cannot be made or written.
std::string PictureFaultText(const std::string& path, const std::string& why = std::string());

// The picture of the document written to `path`. The file is listed with the run's files
// (doc.asFilesWritten, or asFilesNotWritten with its message and a failure status).
bool TakePicture(CZELKDoc& doc, const std::string& path, QSize size);

// The picture of a finished surface scan, as the window shows it when the data file is
// opened again: the file is opened in a document of its own (the options of `doc`, the
// same command line) and its picture taken; listed with `doc`'s files like TakePicture.
// The opening redraws every view of the platform: the window's view must have been taken
// off it (its draws would act on the batch switches of `doc`).
bool TakeReopenedPicture(CZELKDoc& doc, const std::string& dataFile, const std::string& path, QSize size);

}  // namespace zelk
