# A script written for the common SCPI LCR set: the PyMeasure driver of that
# set over the pure-Python VISA backend, against qel-cli bridge on PORT.
# Prints what it read as JSON.
import importlib, inspect, json, pkgutil, sys
import pymeasure.instruments as instruments
from pymeasure.instruments import Instrument


def lcr_class():
    # The common SCPI LCR driver, found by what it can do.
    for info in pkgutil.walk_packages(instruments.__path__, instruments.__name__ + "."):
        try:
            module = importlib.import_module(info.name)
        except Exception:
            continue
        for _, cls in inspect.getmembers(module, inspect.isclass):
            if issubclass(cls, Instrument) and hasattr(cls, "freq_sweep") and hasattr(cls, "impedance"):
                return cls
    raise SystemExit("no LCR driver in pymeasure")


port = int(sys.argv[1])
meter = lcr_class()(f"TCPIP::127.0.0.1::{port}::SOCKET", visa_library="@py",
                    read_termination="\n", write_termination="\n", timeout=20000)
meter.mode = "CPD"
meter.frequency = 10e3
meter.ac_voltage = 0.3
impedance = list(meter.impedance)
sweep = meter.freq_sweep([1e3, 1e4, 1e5])
print(json.dumps({"impedance": impedance, "sweep": [list(map(float, s)) for s in sweep] if sweep else sweep,
                  "mode": meter.mode, "frequency": meter.frequency}))
meter.adapter.connection.close()
