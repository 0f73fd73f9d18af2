#include "DialogSeam.h"

#include <QFileDialog>

namespace {
DialogSeam::Responder& responder()
{
    static DialogSeam::Responder r;
    return r;
}

DialogSeam::Request fileRequest(DialogSeam::Request::Kind kind, QWidget* parent, const QString& caption,
                                const QString& directory, const QString& filter)
{
    DialogSeam::Request r;
    r.kind = kind;
    r.parent = parent;
    r.title = caption;
    r.directory = directory;
    r.filter = filter;
    return r;
}
} // namespace

void DialogSeam::setResponder(Responder r)
{
    responder() = std::move(r);
}

bool DialogSeam::answering()
{
    return bool(responder());
}

DialogSeam::Answer DialogSeam::answer(const Request& request)
{
    return responder() ? responder()(request) : Answer();
}

QString DialogSeam::openFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter)
{
    if (answering())
        return answer(fileRequest(Request::OpenFile, parent, caption, directory, filter)).paths.value(0);
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QStringList DialogSeam::openFileNames(QWidget* parent, const QString& caption, const QString& directory)
{
    if (answering())
        return answer(fileRequest(Request::OpenFiles, parent, caption, directory, QString())).paths;
    return QFileDialog::getOpenFileNames(parent, caption, directory);
}

QString DialogSeam::saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                 const QString& filter)
{
    if (answering())
        return answer(fileRequest(Request::SaveFile, parent, caption, directory, filter)).paths.value(0);
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

QString DialogSeam::existingDirectory(QWidget* parent, const QString& caption, const QString& directory)
{
    if (answering())
        return answer(fileRequest(Request::Directory, parent, caption, directory, QString())).paths.value(0);
    return QFileDialog::getExistingDirectory(parent, caption, directory, QFileDialog::ShowDirsOnly);
}
