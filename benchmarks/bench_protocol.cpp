#include "benchsupport.h"

#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcpparser.h>
#include <TavrexBus1/modbustcptarget.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

ModbusPacketReg readAnswer(int registers)
{
    ModbusPacketReg packet;
    packet.setFunctionCode(TavrexBus::ReadHoldingRegisters);
    packet.setState(TavrexBus::Response);
    for (int i = 0; i < registers; ++i)
        packet.appendRegValue(ushort(i * 257));
    return packet;
}

ModbusPacketReg readRequest()
{
    ModbusPacketReg packet;
    packet.setFunctionCode(TavrexBus::ReadHoldingRegisters);
    packet.setRequestAddress(100);
    packet.setRequestRegistersCount(10);
    return packet;
}

const ModbusParseInfo answerInfo(TavrexBus::Response);

void pduParseAndBuild125(benchmark::State &state)
{
    ModbusRTUParser parser;
    ModbusRTUDeparser deparser;
    ModbusBytes pdu;
    deparser.deparseModbusPDU(readAnswer(125), pdu);
    ModbusBytes out;
    for (auto _ : state) {
        std::unique_ptr<ModbusPacket> packet(parser.createPacket(pdu, answerInfo));
        parser.parseModbusPDU(pdu, answerInfo, *packet);
        deparser.deparseModbusPDU(*packet, out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(pduParseAndBuild125);

// The packet's frame parsed, and with AndBuild built again from what was parsed.
template<typename Parser, typename Deparser, bool AndBuild = true>
void frameParseAndBuild(benchmark::State &state, const ModbusPacketReg &packet,
                        const ModbusParseInfo &info)
{
    Parser parser;
    Deparser deparser;
    ModbusTcpTarget target;
    ModbusBytes frame;
    deparser.deparse(packet, frame, &target);
    ModbusBytes out;
    for (auto _ : state) {
        std::unique_ptr<IPacket> parsed(parser.parse(frame, info, &target));
        if constexpr (AndBuild) {
            deparser.deparse(*parsed, out, &target);
            benchmark::DoNotOptimize(out.constData());
        } else {
            benchmark::DoNotOptimize(parsed.get());
        }
    }
    state.SetItemsProcessed(state.iterations());
}

template<typename Deparser>
void frameBuild(benchmark::State &state, const ModbusPacketReg &packet)
{
    Deparser deparser;
    ModbusTcpTarget target;
    ModbusBytes out;
    for (auto _ : state) {
        deparser.deparse(packet, out, &target);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations());
}

void rtuParseAndBuild125(benchmark::State &state)
{
    frameParseAndBuild<ModbusRTUParser, ModbusRTUDeparser>(state, readAnswer(125), answerInfo);
}
void rtuParse125(benchmark::State &state)
{
    frameParseAndBuild<ModbusRTUParser, ModbusRTUDeparser, false>(state, readAnswer(125), answerInfo);
}
void rtuBuild125(benchmark::State &state)
{
    frameBuild<ModbusRTUDeparser>(state, readAnswer(125));
}
void rtuParseAndBuildRequest(benchmark::State &state)
{
    frameParseAndBuild<ModbusRTUParser, ModbusRTUDeparser>(state, readRequest(),
                                                           ModbusParseInfo(TavrexBus::Request));
}
void tcpParseAndBuild125(benchmark::State &state)
{
    frameParseAndBuild<ModbusTCPParser, ModbusTCPDeparser>(state, readAnswer(125), answerInfo);
}
BENCHMARK(rtuParseAndBuild125);
BENCHMARK(rtuParse125);
BENCHMARK(rtuBuild125);
BENCHMARK(rtuParseAndBuildRequest);
BENCHMARK(tcpParseAndBuild125);

std::vector<std::pair<std::string, double>> millionsPerSecond;

void keepRate(const benchmark::BenchmarkReporter::Run &run)
{
    const auto rate = run.counters.find("items_per_second");
    if (rate != run.counters.end())
        millionsPerSecond.emplace_back(run.benchmark_name(), rate->second.value / 1e6);
}

} // namespace

// One "name: value unit" line per benchmark after the usual table.
int main(int argc, char **argv)
{
    runBenchmarks(argc, argv, keepRate);
    for (const auto &[name, millions] : millionsPerSecond)
        std::printf("%s: %.2f M/s\n", name.c_str(), millions);
    return 0;
}
