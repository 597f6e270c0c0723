// A private session bus, a fresh state root and the real korvad for each
// test; a second bus connection acts as another client.
#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <memory>
#include <string>

#include "bus/wire.h"
#include "bus_testing.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_request.h"

class KorvadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus_testing::EnsureApplication();
        std::string error;
        ASSERT_TRUE(m_bus.Start(&error)) << error;
        ASSERT_TRUE(StartKorvad());
    }

    void TearDown() override
    {
        if (m_other) {
            m_other.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("other-client"));
        }
        m_korvad.Stop();
    }

    bool StartKorvad(const std::vector<std::string>& args = {})
    {
        return bus_testing::StartKorvad(m_korvad, KORVAD_PATH, m_state.Path(), args);
    }

    // Another client of the service: its own bus connection, its own name.
    QDBusConnection& Other()
    {
        if (!m_other)
            m_other = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
                QString::fromStdString(m_bus.Address()), QStringLiteral("other-client")));
        return *m_other;
    }

    // Sends a request from the other client and returns the decoded answer.
    bus::DecodedAnswer OtherRequest(const std::string& name, const CDictionary& values, const CMsgRowSets& rowSets = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(NKorvaConstants::SERVICE_BUS_NAME), QString::fromLatin1(NKorvaConstants::SERVICE_OBJECT_PATH),
            QString::fromLatin1(NKorvaConstants::SERVICE_INTERFACE), QString::fromLatin1(bus::kRequestMethod));
        call.setArguments(bus::EncodeMessage(name, values, rowSets));
        return bus::DecodeAnswer(Other().call(call, QDBus::Block, 5000));
    }

    bus_testing::TempDir m_state;
    bus_testing::PrivateBus m_bus;
    bus_testing::ChildProcess m_korvad;
    std::unique_ptr<QDBusConnection> m_other;
};
