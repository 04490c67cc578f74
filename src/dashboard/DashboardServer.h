#pragma once

#include "dashboard/DashboardApi.h"

#include <QAbstractHttpServer>
#include <QHostAddress>

class QTcpServer;

// The dashboard over HTTP: the page's own files at /, /app.js, /style.css
// and /chart.min.js, the API under /api/; anything else is 404. Only GET.
// With a token, every API request needs "Authorization: Bearer TOKEN".
class DashboardServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    // Bytes a connection may hold unanswered; a larger request is never read whole.
    static constexpr qint64 MaxRequestBytes = 64 * 1024;
    // A connection that sends nothing for this long is closed.
    static constexpr int IdleMs = 30000;

    DashboardServer(DashboardApi &api, const QByteArray &token, QObject *parent = nullptr);

    // Listens; port 0 takes a free one. error gets one sentence.
    bool start(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    // Listening there needs a token: anything but a loopback address.
    static bool needsToken(const QHostAddress &address);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    DashboardReply answer(const QHttpServerRequest &request);
    bool authorized(const QHttpServerRequest &request) const;

    DashboardApi &m_api;
    QByteArray m_token;
    QTcpServer *m_listener = nullptr;
    QByteArray m_chartJs;
};
