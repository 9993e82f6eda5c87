#pragma once

// What start-up does when the engine finds DirectX 10 unusable: asks whether
// to run the repair program "DxUpdate.exe" from the program's folder, starts
// it on Yes, and opens the help forum's page in the browser whatever the
// answer. Runs a modal box without a parent; GUI thread only.
class DirectXQuestion
{
public:
    static void ask();
};
