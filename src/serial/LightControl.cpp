#include "LightControl.h"

#include "ComPort.h"

namespace zx {

LightControl::LightControl(ComPort& port, QObject* parent) : QObject(parent), Port_(port) {
    connect(&Port_, &ComPort::Opened, this, [this] {
        if (Active_) {
            Start();
        }
    });
    connect(&Port_, &ComPort::Closed, this, &LightControl::Stop);
    connect(&Port_, &ComPort::OnTriggerTimer, this, &LightControl::HandleTrigger);
    connect(&Port_, &ComPort::DataReceived, this, [this] {
        if (Running_ && !RxLit_) {
            SetRx(true);
            Port_.ArmTimerTrigger(RxTrigger_, RXDOffTimeout);
        }
    });
    connect(&Port_, &ComPort::BlockQueued, this, [this] {
        if (Running_) {
            SetTx(true);
            Port_.ArmTimerTrigger(TxTrigger_, TXDOffTimeout);
        }
    });
}

void LightControl::SetActive(bool active) {
    Active_ = active;
    if (active && Port_.Open() && !Running_) {
        Start();
    } else if (!active) {
        Stop();
    }
}

void LightControl::Start() {
    TxTrigger_ = Port_.AllocateTimerTrigger();
    RxTrigger_ = Port_.AllocateTimerTrigger();
    Running_ = true;
}

void LightControl::Stop() {
    if (Running_ && Port_.Open()) {
        Port_.DisarmTimerTrigger(TxTrigger_);
        Port_.DisarmTimerTrigger(RxTrigger_);
    }
    Running_ = false;
    TxTrigger_ = 0;
    RxTrigger_ = 0;
    SetTx(false);
    SetRx(false);
}

void LightControl::SetTx(bool lit) {
    if (lit != TxLit_) {
        TxLit_ = lit;
        emit TxLitChanged(lit);
    }
}

void LightControl::SetRx(bool lit) {
    if (lit != RxLit_) {
        RxLit_ = lit;
        emit RxLitChanged(lit);
    }
}

void LightControl::HandleTrigger(quint16 handle) {
    if (!Running_ || handle == 0) {
        return;
    }
    if (handle == RxTrigger_) {
        if (Port_.BytesWaiting() > 0) {
            Port_.ArmTimerTrigger(RxTrigger_, RXDOffTimeout);
        } else {
            SetRx(false);
        }
    } else if (handle == TxTrigger_) {
        if (Port_.BytesQueued() > 0) {
            Port_.ArmTimerTrigger(TxTrigger_, TXDOffTimeout);
        } else {
            SetTx(false);
        }
    }
}

} // namespace zx
