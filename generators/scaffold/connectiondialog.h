#ifndef SCAFFOLD_CONNECTIONDIALOG_H
#define SCAFFOLD_CONNECTIONDIALOG_H

#include <core/connectionpool.h>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace crud {
}

namespace scaffold {

using namespace crud;

// Where the server is and who logs in. OK opens the session; a refusal is
// shown in the dialog, which stays open. What was typed is remembered for the
// next start, the password never.
class ConnectionDialog : public QDialog
{
	Q_OBJECT

public:
	explicit ConnectionDialog(const SessionOptions &options, QWidget *parent = nullptr);

	SessionOptions options() const;
	void showError(const QString &text);

	// The options of the last successful connection, without the password.
	static SessionOptions remembered();
	static void remember(const SessionOptions &options);

public slots:
	void accept() override;

private:
	SessionOptions m_options; // what the form does not show is kept
	QLineEdit *m_host;
	QSpinBox *m_port;
	QLineEdit *m_socket;
	QLineEdit *m_user;
	QLineEdit *m_password;
	QLineEdit *m_schema;
	QCheckBox *m_ssl;
	QLineEdit *m_sslCa;
	QLabel *m_error;
};

} // namespace scaffold

#endif // SCAFFOLD_CONNECTIONDIALOG_H
