// Subcommands of tvbench. Each gets the arguments after its name.
#pragma once

int BenchStore(int argc, char** argv);
int BenchGunzip(int argc, char** argv);
int BenchTree(int argc, char** argv);
int BenchLoad(int argc, char** argv);
int BenchLookup(int argc, char** argv);
int BenchDns(int argc, char** argv);
int BenchQuery(int argc, char** argv);
int BenchExport(int argc, char** argv);

// Seconds on a monotonic clock.
double BenchNow();
