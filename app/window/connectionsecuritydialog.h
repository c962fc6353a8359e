#pragma once

#include "connection/tlsoptions.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// Settings > Connection Security...: the TLS settings of the window's
// connections, the command line's --ssl options under plain names. It only
// edits a TlsOptions value; the window keeps and remembers it.
class ConnectionSecurityDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionSecurityDialog(const TlsOptions &options, QWidget *parent = nullptr);

    TlsOptions options() const;

    // Refuses settings that cannot be used (a missing file, a key without
    // its certificate, ...) with a line in the dialog.
    void accept() override;

private:
    QLineEdit *addPathRow(const QString &label, const char *name, const QString &value, bool directory,
                          const QString &tip);

    QCheckBox *m_required;
    QLineEdit *m_ca = nullptr;
    QLineEdit *m_caPath = nullptr;
    QLineEdit *m_cert = nullptr;
    QLineEdit *m_key = nullptr;
    QLineEdit *m_cipher;
    QCheckBox *m_verify;
    QLabel *m_problem;
    class QFormLayout *m_form;
};
