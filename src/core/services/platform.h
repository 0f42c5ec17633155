#pragma once

class MessageBoxes;
class FileDialogs;
class ColourChooser;
class Sound;
class Clock;
class Random;
class History;

// The services the windows and the drill use to reach the outside world (speech is
// Module1::SpeechObject). The real ones are made in main(); tests hand in fakes.
struct Platform final {
    MessageBoxes& messages;
    FileDialogs& files;
    ColourChooser& colours;
    Sound& sound;
    Clock& clock;
    Random& random;
    History& history;
};
