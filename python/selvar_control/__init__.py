# SPDX-License-Identifier: GPL-3.0-or-later
"""Python driver for Selvar Control, the evaluation program for Selvar volume-control chips.

The program serves SCPI on TCP (``selvar --scpi-port 5025``, add ``--no-gui`` to run without
windows); this package drives it as a PyMeasure instrument through PyVISA::

    from selvar_control import SelvarControl

    selvar = SelvarControl("TCPIP::127.0.0.1::5025::SOCKET")
    selvar.topology = "DUAL"
    selvar.dut1.left_gain = -10.5
    print(selvar.dut1.readback)         # (171, 0)
    print(selvar.dut1.measure_gain("LEFT"))  # -10.5, through the sound card

See ``help(SelvarControl)`` and ``help(SelvarBoard)``.
"""
from selvar_control.board import SelvarBoard
from selvar_control.measurements import BoardMeasurements
from selvar_control.instrument import SelvarControl
from selvar_control.replies import SelvarError

__all__ = ["BoardMeasurements", "SelvarBoard", "SelvarControl", "SelvarError"]
