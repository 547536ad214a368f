// The workbook readers behind the host: one per file format.
#pragma once
