#pragma once

#include "folders/FolderPicker.h"

#include <QList>
#include <QQueue>
#include <QWidget>

// Answers the folder dialog for tests and records how it was asked. Installs itself while it lives;
// with no answer queued it cancels.
class StubFolderDialog final : public FolderDialog
{
public:
    struct Request
    {
        QWidget* owner;
        QString prompt;
        QString initialFolder;
    };

    StubFolderDialog() { FolderDialog::install(this); }
    ~StubFolderDialog() override { FolderDialog::install(nullptr); }

    void setNextDirectory(const QString& path) { m_answers.enqueue(path); }

    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& initialFolder) override
    {
        requests.append({ owner, prompt, initialFolder });
        return m_answers.isEmpty() ? QString() : m_answers.dequeue();
    }

    QList<Request> requests;

private:
    QQueue<QString> m_answers;
};
