#pragma once

#include <QObject>

namespace zx {

class ComPort;

// Drives the transmit and receive lamps from the port's traffic. A lamp lights on traffic and
// goes out one tick after its queue (data waiting to be read, bytes waiting to leave) is empty.
// Switched on while the port is closed, it starts when the port opens; it stops on close and
// starts again by itself when the port reopens.
class LightControl : public QObject {
    Q_OBJECT
public:
    static constexpr int TXDOffTimeout = 1; // ticks
    static constexpr int RXDOffTimeout = 1;

    explicit LightControl(ComPort& port, QObject* parent = nullptr);

    bool Active() const { return Active_; }
    void SetActive(bool active);
    bool TxLit() const { return TxLit_; }
    bool RxLit() const { return RxLit_; }

signals:
    void TxLitChanged(bool lit);
    void RxLitChanged(bool lit);

private:
    void Start();
    void Stop();
    void SetTx(bool lit);
    void SetRx(bool lit);
    void HandleTrigger(quint16 handle);

    ComPort& Port_;
    bool Active_ = false;
    bool Running_ = false;
    bool TxLit_ = false;
    bool RxLit_ = false;
    quint16 TxTrigger_ = 0;
    quint16 RxTrigger_ = 0;
};

} // namespace zx
