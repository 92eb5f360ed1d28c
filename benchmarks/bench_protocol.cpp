#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcpparser.h>
#include <TavrexBus1/modbustcptarget.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

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

template<typename Parser, typename Deparser>
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
        deparser.deparse(*parsed, out, &target);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations());
}

template<typename Parser, typename Deparser>
void frameParse(benchmark::State &state, const ModbusPacketReg &packet,
                const ModbusParseInfo &info)
{
    Parser parser;
    Deparser deparser;
    ModbusTcpTarget target;
    ModbusBytes frame;
    deparser.deparse(packet, frame, &target);
    for (auto _ : state) {
        std::unique_ptr<IPacket> parsed(parser.parse(frame, info, &target));
        benchmark::DoNotOptimize(parsed.get());
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
    frameParse<ModbusRTUParser, ModbusRTUDeparser>(state, readAnswer(125), answerInfo);
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

// Adds one "name: value unit" line per benchmark after the usual table.
class FigureReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end())
                m_figures.emplace_back(run.benchmark_name(), rate->second.value / 1e6);
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto &[name, millions] : m_figures)
            std::printf("%s: %.2f M/s\n", name.c_str(), millions);
    }

private:
    std::vector<std::pair<std::string, double>> m_figures;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
